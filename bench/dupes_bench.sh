#!/usr/bin/env bash
# dupes_bench.sh [N ...]: runs the duplicate finder of webgrubbler-cli, fdupes,
# jdupes and rmlint over a generated tree of N files (default 20000) with known
# duplicate groups and near-duplicates, prints wall time, CPU time and peak
# memory of each, and checks the groups each tool reports against the truth.
#
# Every tool runs twice on the same tree: once untimed, so that all of them
# find the tree in the page cache, then timed; the figures are of the second
# run, and its output is the one checked.
#
# Zero-byte files are left out of the truth and of every tool's output (some
# tools report them as one group of identical files, others skip them).
#
# Environment:
#   BENCH_TOOLS="webgrubbler fdupes jdupes rmlint"   the tools, in this order
#   BENCH_TIMEOUT=3600                       seconds per run before it is killed
#   BENCH_SEED=1                             seed of the generated tree
#   BENCH_KEEP=1                             keep the work directory (trees, outputs)
#   BENCH_WORKDIR=DIR                        parent of the work directory (default /tmp)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$root/build-bench"
cli="$build_dir/webgrubbler-cli"
tools=${BENCH_TOOLS:-webgrubbler fdupes jdupes rmlint}
limit=${BENCH_TIMEOUT:-3600}
seed=${BENCH_SEED:-1}
sizes=("$@")
[ "${#sizes[@]}" -gt 0 ] || sizes=(20000)

# --- prerequisites ----------------------------------------------------------

# shellcheck source=bench/bench_lib.sh
source "$root/bench/bench_lib.sh"

install_missing fdupes jdupes rmlint time python3

# webgrubbler is measured only when a fresh Release build succeeds and knows the
# find-duplicates command; otherwise its row reads n/a (a stale binary is never
# measured).
wg_state=skipped
if [[ " $tools " == *" webgrubbler "* ]]; then
    if build_release_cli "$build_dir"; then
        if "$cli" --help 2>/dev/null | grep -q 'find-duplicates'; then
            wg_state=ready
        else
            wg_state="no find-duplicates command"
        fi
    else
        wg_state="build failed"
    fi
    [ "$wg_state" = ready ] || echo "bench: webgrubbler: $wg_state, its row is n/a" >&2
fi

# --- work directory -----------------------------------------------------------

work=$(mktemp -d "${BENCH_WORKDIR:-/tmp}/dupes-bench.XXXXXX")

cleanup() {
    if [ "${BENCH_KEEP:-0}" = 1 ]; then
        echo "bench: work directory kept: $work" >&2
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# groups.py FORMAT OUTPUT CWD TREE TRUTH NEAR: reads the groups a tool reported,
# drops zero-byte files, compares with the truth. Prints "GROUPS<TAB>MATCH" on
# stdout and a few examples of each kind of mismatch on stderr.
#   blocks       fdupes/jdupes: one path a line, groups separated by blank lines
#   pairs        webgrubbler: "KEPT & DUPLICATE are identical" a line
#   rmlint-json  rmlint -o json: the duplicate_file entries grouped by checksum
cat >"$work/groups.py" <<'PY'
import json
import os
import sys

fmt, output, cwd, tree, truth_file, near_file = sys.argv[1:7]
tree = os.path.realpath(tree)
notes = []


def rel(path):
    # Absolute, relative to the tool's working directory, or else to the tree.
    full = os.path.realpath(os.path.join(cwd, path))
    if not os.path.lexists(full) and os.path.lexists(os.path.join(tree, path)):
        full = os.path.realpath(os.path.join(tree, path))
    return os.path.relpath(full, tree) if full.startswith(tree + os.sep) else full


def read_blocks():
    groups, group = [], []
    with open(output, errors="surrogateescape") as f:
        for line in f:
            line = line.rstrip("\n")
            if line:
                group.append(line)
            elif group:
                groups.append(group)
                group = []
    if group:
        groups.append(group)
    return groups


def read_pairs():
    # Union of the pairs; each group should have one kept file throughout.
    parent, kept_of, unparsed = {}, {}, 0

    def find(x):
        while parent.setdefault(x, x) != x:
            parent[x] = parent[parent[x]]
            x = parent[x]
        return x

    with open(output, errors="surrogateescape") as f:
        for line in f:
            line = line.rstrip("\n")
            suffix = " are identical"
            if not line.endswith(suffix) or " & " not in line:
                unparsed += line.strip() != ""
                continue
            kept, dup = line[: -len(suffix)].split(" & ", 1)
            kept_of.setdefault(dup, set()).add(kept)
            parent[find(dup)] = find(kept)
    groups = {}
    for x in parent:
        groups.setdefault(find(x), []).append(x)
    kept = {}
    for dup, keepers in kept_of.items():
        kept.setdefault(find(dup), set()).update(keepers)
    varying = sum(1 for k in kept.values() if len(k) > 1)
    if varying:
        notes.append("%d groups with more than one kept file" % varying)
    if unparsed:
        notes.append("%d lines not understood" % unparsed)
    return list(groups.values())


def read_rmlint():
    with open(output) as f:
        entries = json.load(f)
    groups = {}
    for e in entries:
        if e.get("type") == "duplicate_file":
            groups.setdefault((e.get("checksum"), e.get("size")), []).append(e["path"])
    return list(groups.values())


reader = {"blocks": read_blocks, "pairs": read_pairs, "rmlint-json": read_rmlint}[fmt]
found = []
for group in reader():
    members = set()
    for p in group:
        r = rel(p)
        full = os.path.join(tree, r)
        if os.path.isfile(full) and os.path.getsize(full) == 0:
            continue
        members.add(r)
    if len(members) >= 2:
        found.append(frozenset(members))

truth = []
with open(truth_file) as f:
    for line in f:
        truth.append(frozenset(line.rstrip("\n").split("\t")))
truth_of = {p: g for g in truth for p in g}
near_kind = {}
with open(near_file) as f:
    for line in f:
        kind, a, b = line.rstrip("\n").split("\t")
        near_kind[a] = near_kind[b] = kind

truth_set = set(truth)
reported = {p for g in found for p in g}
ok = sum(1 for g in found if g in truth_set)
wrong = [g for g in found if g not in truth_set and any(p in truth_of for p in g)]
extra = [g for g in found if not any(p in truth_of for p in g)]
missing = [g for g in truth if not any(p in reported for p in g)]


def describe(g):
    kinds = sorted({near_kind[p] for p in g if p in near_kind})
    text = " ".join(sorted(g)[:4]) + (" ..." if len(g) > 4 else "")
    return text + (" (near-duplicates: %s)" % ", ".join(kinds) if kinds else "")


label = "%s %s" % (os.path.basename(output), fmt)
for name, groups in (("missing", missing), ("extra", extra), ("wrong", wrong)):
    for g in groups[:5]:
        print("bench:   %s: %s group: %s" % (label, name, describe(g)), file=sys.stderr)
if extra:
    counts = {}
    for g in extra:
        for kind in {near_kind.get(p, "other") for p in g}:
            counts[kind] = counts.get(kind, 0) + 1
    notes.append("extra by kind: " + ", ".join("%s %d" % kv for kv in sorted(counts.items())))

if ok == len(truth) and not wrong and not extra:
    match = "groups ok"
else:
    match = "missing %d, extra %d, wrong %d" % (len(missing), len(extra), len(wrong))
if notes:
    match += " (" + "; ".join(notes) + ")"
print("%d\t%s" % (len(found), match))
PY

# --- measuring ----------------------------------------------------------------

results="$work/results.txt"
: >"$results"

# tree_digest TREE: file count and total bytes, to notice a tool that changed the tree.
tree_digest() {
    find "$1" -type f -printf '%s\n' | awk '{ n++; b += $1 } END { printf "%d %d\n", n, b }'
}

# run_tool TOOL N TREE TRUTH NEAR: one untimed and one timed run, then the check.
run_tool() {
    local tool=$1 n=$2 tree=$3 truth=$4 near=$5
    local out="$work/$tool-$n" cwd="$work/$tool-$n.cwd"
    rm -rf "$cwd"
    mkdir -p "$cwd"
    local cmd=() fmt result
    case $tool in
        webgrubbler)
            cmd=("$cli" find-duplicates "$tree")
            fmt=pairs
            result="$out.stdout"
            ;;
        fdupes)
            cmd=(fdupes -r -q "$tree")
            fmt=blocks
            result="$out.stdout"
            ;;
        jdupes)
            cmd=(jdupes -r -q "$tree")
            fmt=blocks
            result="$out.stdout"
            ;;
        rmlint)
            # Duplicate files only (not its other lint: empty files and
            # directories, broken links, ...); JSON into the scratch directory.
            cmd=(rmlint -T df -o json:"$out.json" "$tree")
            fmt=rmlint-json
            result="$out.json"
            ;;
        *)
            echo "bench: unknown tool $tool" >&2
            return 0
            ;;
    esac
    if [ "$tool" = webgrubbler ] && [ "$wg_state" != ready ]; then
        printf '%s\t%s\tn/a\tn/a\tn/a\tn/a\tn/a (%s)\n' "$tool" "$n" "$wg_state" >>"$results"
        return 0
    fi
    local before
    before=$(tree_digest "$tree")
    echo "bench: $tool N=$n: warm-up run" >&2
    (cd "$cwd" && timeout "$limit" "${cmd[@]}" </dev/null >/dev/null 2>&1) || true
    echo "bench: $tool N=$n: timed run" >&2
    local rc=0
    (cd "$cwd" && /usr/bin/time -f '%e %U %S %M' -o "$out.time" \
        timeout "$limit" "${cmd[@]}" </dev/null >"$out.stdout" 2>"$out.stderr") || rc=$?
    local wall user sys rss cpu mb
    read -r wall user sys rss < <(tail -n 1 "$out.time")
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
    mb=$(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }')
    local groups match
    if [ "$rc" -eq 124 ]; then
        groups=-
        match="killed after ${limit}s"
    elif [ ! -s "$result" ] && [ "$rc" -ne 0 ]; then
        groups=-
        match="failed, exit $rc"
        tail -n 5 "$out.stderr" >&2 || true
    else
        IFS=$'\t' read -r groups match < <(python3 "$work/groups.py" "$fmt" "$result" "$cwd" \
            "$tree" "$truth" "$near") || { groups=-; match="output not readable"; }
        [ "$rc" -eq 0 ] || match="$match, exit $rc"
    fi
    local after
    after=$(tree_digest "$tree")
    if [ "$after" != "$before" ]; then
        match="$match; CHANGED THE TREE (files bytes: $before -> $after)"
    fi
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$tool" "$n" "$wall" "$cpu" "$mb" "$groups" "$match" \
        >>"$results"
    echo "bench: $tool N=$n: ${wall}s, $groups groups, $match" >&2
}

# make_tree N: (re)generates the tree of N files and its truth.
make_tree() {
    local n=$1
    rm -rf "$work/tree-$n"
    python3 "$root/bench/make_dupe_tree.py" --seed "$seed" --near "$work/near-$n.txt" \
        "$n" "$work/tree-$n" "$work/truth-$n.txt" | tail -n 1
}

summaries=()
for n in "${sizes[@]}"; do
    summary=$(make_tree "$n")
    echo "bench: $summary" >&2
    summaries+=("$summary")
    for tool in $tools; do
        digest=$(tree_digest "$work/tree-$n")
        run_tool "$tool" "$n" "$work/tree-$n" "$work/truth-$n.txt" "$work/near-$n.txt"
        if [ "$(tree_digest "$work/tree-$n")" != "$digest" ]; then
            echo "bench: $tool changed the tree; generating it again for the next tool" >&2
            make_tree "$n" >/dev/null
        fi
    done
    [ "${BENCH_KEEP:-0}" = 1 ] || rm -rf "$work/tree-$n"
done

# --- report -------------------------------------------------------------------

echo
echo "Each tool ran once untimed (page cache warm), then timed; the figures and the"
echo "checked groups are of the timed run. Zero-byte files are left out of the truth"
echo "and of every tool's groups. CPU s = user + sys."
echo
for s in "${summaries[@]}"; do
    echo "    $s"
done
echo
echo "| tool | N | wall s | CPU s | peak MB | groups | match |"
echo "|---|---:|---:|---:|---:|---:|---|"
while IFS=$'\t' read -r tool n wall cpu mb groups match; do
    echo "| $tool | $n | $wall | $cpu | $mb | $groups | $match |"
done <"$results"
echo
echo "Versions:"
if [[ " $tools " == *" webgrubbler "* ]]; then
    wg_version=n/a
    [ -x "$cli" ] && wg_version=$("$cli" --version 2>/dev/null | head -n 1 || true)
    commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)
    git -C "$root" diff --quiet HEAD 2>/dev/null || commit="$commit + uncommitted changes"
    echo "    webgrubbler-cli: ${wg_version:-n/a} (tree $commit; $wg_state)"
fi
for tool in $tools; do
    case $tool in
        fdupes) echo "    $(fdupes --version 2>&1 | head -n 1)" ;;
        jdupes) echo "    $(jdupes --version 2>&1 | head -n 1)" ;;
        rmlint)
            echo "    rmlint $(rmlint --version 2>&1 | head -n 1 | sed 's/\x1b\[[0-9;]*m//g')"
            ;;
    esac
done
echo
echo "Machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.1f GB", $2 / 1048576 }' /proc/meminfo) RAM."
