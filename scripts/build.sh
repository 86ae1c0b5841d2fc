#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configures and builds into DIR below the checkout.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null
ninja -C "$root/$dir"
