#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    libssl-dev openssl ca-certificates
    libgtest-dev libgmock-dev libbenchmark-dev
    clang-format clang-tidy clang libclang-rt-14-dev valgrind
    nginx nodejs php-cli
    qt6-base-dev qt6-image-formats-plugins
    xvfb xauth openbox xdotool wmctrl x11-utils imagemagick wmdocker
)
# The offline-mirror check drives Debian's Chromium (with its recommended
# fonts and libraries) through playwright-core from npm.
browser_packages=(chromium)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

missing=()
for p in "${browser_packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if ! command -v npm >/dev/null 2>&1; then
    missing+=(npm)
fi
if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

root=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -f "$root/tests/browser/node_modules/playwright-core/package.json" ]; then
    echo "setup: installing the browser check's node modules"
    (cd "$root/tests/browser" && npm ci --no-audit --no-fund --loglevel=error)
fi
