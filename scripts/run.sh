#!/usr/bin/env bash
# Sets everything up, builds the release programs and runs the console front end.
# Arguments are passed to webgrubbler-cli; without any, it mirrors the demo site
# that ships with the project (scripts/demo.sh) into ./run-home.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build-release -DCMAKE_BUILD_TYPE=Release -DWG_TESTS=OFF
if [ "$#" -eq 0 ]; then
    exec "$root/scripts/demo.sh" "$root/build-release/webgrubbler-cli" "$root/run-home"
fi
exec "$root/build-release/webgrubbler-cli" "$@"
