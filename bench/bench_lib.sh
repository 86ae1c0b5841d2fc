# Shared by the benchmark scripts (sourced, not run).

# install_missing PACKAGE...: installs the Debian packages that are missing.
install_missing() {
    local missing=() p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    echo "bench: installing ${missing[*]}" >&2
    local sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    local apt=("${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600)
    "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" ||
        { "${apt[@]}" update -qq && "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"; }
}

# build_release_cli BUILD_DIR: builds (or brings up to date) webgrubbler-cli
# in Release, so that a stale binary is never measured.
build_release_cli() {
    echo "bench: building webgrubbler-cli (Release) in $1" >&2
    cmake -S "$root" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DWG_TESTS=OFF -DWG_GUI=OFF >/dev/null &&
        ninja -j1 -C "$1" webgrubbler-cli >/dev/null
}
