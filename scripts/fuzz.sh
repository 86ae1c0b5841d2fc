#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 20) on a fresh corpus. A crash fails the run and
# leaves the input in build-fuzz/crashes/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-20}
dir="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWG_TESTS=OFF -DWG_BENCH=OFF -DWG_GUI=OFF -DWG_FUZZ=ON "-DWG_SANITIZE=address,undefined" >/dev/null
ninja -C "$dir"
mkdir -p "$dir/crashes"
for target in "$dir"/tests/fuzz/*_fuzz; do
    name=$(basename "$target")
    corpus="$dir/corpus/$name"
    mkdir -p "$corpus"
    echo "== fuzz $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$dir/crashes/$name-" -print_final_stats=1 "$corpus" 2>&1 | tail -n 3
done
echo "== fuzzing found nothing"
