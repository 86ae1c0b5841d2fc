#!/usr/bin/env python3
"""Counts the instructions of one AddSite and one AddFile call at 1k, 64k and
1M queued entries, under callgrind. Instruction counts do not depend on the
cache or on other load, so they show whether the cost of a call grows with
the lists.

usage: bench/instructions_per_call.py BUILD_DIR   (a Release build with core_bench)
"""
import re
import subprocess
import sys
import tempfile
from pathlib import Path


def count(bench: Path, name: str, function: str, size: int) -> float:
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "cg.out"
        subprocess.run(
            ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}",
             f"--toggle-collect={function}*", str(bench),
             f"--benchmark_filter={name}/{size}$", "--benchmark_min_time=0.05"],
            check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        names, calls, total, callee = {}, 0, 0, ""
        for line in out.read_text().splitlines():
            m = re.match(r"(c?fn)=\((\d+)\)(?: (.*))?", line)
            if m:
                if m.group(3):
                    names[m.group(2)] = m.group(3)
                if m.group(1) == "cfn":
                    callee = names.get(m.group(2), "")
            elif line.startswith("calls=") and function in callee:
                calls += int(line.split("=")[1].split()[0])
            elif line.startswith("totals:"):
                total = int(line.split()[1])
        return total / max(calls, 1)


def main() -> None:
    bench = Path(sys.argv[1]) / "bench" / "core_bench"
    print(f"{'entries':>10} {'AddSite':>10} {'AddFile':>10}   (instructions per call)")
    for size in (1000, 64000, 1000000):
        site = count(bench, "BM_AddSiteFiltered", "wg::App::AddSite", size)
        file = count(bench, "BM_AddFile", "wg::App::AddFile", size)
        print(f"{size:>10} {site:>10.0f} {file:>10.0f}")


if __name__ == "__main__":
    main()
