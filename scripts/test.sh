#!/usr/bin/env bash
# Sets everything up, builds and runs the whole test suite: a normal build with
# warnings as errors, then AddressSanitizer + UndefinedBehaviorSanitizer, then
# ThreadSanitizer, the format and clang-tidy checks, and a bounded fuzzing run. --quick runs only the
# normal build's tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
quick=0
for arg in "$@"; do
    case "$arg" in
        --quick) quick=1 ;;
        *) echo "usage: scripts/test.sh [--quick]" >&2; exit 2 ;;
    esac
done

"$root/scripts/setup.sh"

# Nothing the tests start may reach beyond this machine.
export WEBGRUBBLER_PROBE_HOST=127.0.0.1:9
export WEBGRUBBLER_UPDATE_HOST=127.0.0.1:9
# The end-to-end mirror tests open every mirror in Chromium; here a missing
# browser is a failure, not a skip.
export WG_REQUIRE_BROWSER=1

run_suite() {
    local dir=$1
    shift
    echo "== build $dir"
    "$root/scripts/build.sh" "$dir" -DWG_WERROR=ON "$@"
    echo "== test $dir"
    ctest --test-dir "$root/$dir" --output-on-failure -j2 --timeout 300 \
        ${WG_CTEST_EXCLUDE:+-E "$WG_CTEST_EXCLUDE"}
}

run_suite build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== test the offline-mirror check"
(cd "$root/tests/browser" && node --test)
if [ "$quick" -eq 0 ]; then
    "$root/scripts/lint.sh" build-test
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DWG_GUI=OFF "-DWG_SANITIZE=address,undefined"
    export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
    # The thread check covers the desktop program's port (texts and questions
    # from worker threads); the other window tests are left out of it, since
    # Qt's own pooled threads (picture scaling) are not built for the checker.
    WG_CTEST_EXCLUDE='(^|/)(MainWindow|Preview|Tray|Help|X11)' \
        run_suite build-tsan -DCMAKE_BUILD_TYPE=Debug -DWG_GUI=ON -DWG_SANITIZE=thread
    "$root/scripts/fuzz.sh"
fi
echo "== all test runs passed"
