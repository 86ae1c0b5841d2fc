#!/usr/bin/env bash
# crawl_bench.sh [N ...]: mirrors a generated site of N pages (default 2000)
# served by nginx on 127.0.0.1 with webgrubbler-cli, wget and httrack, and
# prints wall time, CPU time, peak memory and the number of files each saved.
#
# Environment:
#   BENCH_TOOLS="webgrubbler wget httrack"   the tools to run, in this order;
#                                            also webgrubbler-par (2 page and 8
#                                            download workers), webgrubbler-fast (the
#                                            README's fast settings), wget2 (8 threads)
#                                            and httrack-default
#                                            (its built-in rate limits left on: slow)
#   BENCH_ACCESS_LOG=1                       log requests in nginx and count them
#   BENCH_TIMEOUT=3600                       seconds per tool before it is killed
#   BENCH_WG_SET="KEY=V KEY=V"               extra --set options for webgrubbler-cli
#   BENCH_KEEP=1                             keep the work directory (sites, mirrors)
#   BENCH_WORKDIR=DIR                        parent of the work directory (default /tmp)
#   BENCH_DYNAMIC=0                          leave out the query pages (view.php?id=K&s=1)
#                                            and the script pages (toolK.php)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$root/build-bench"
cli="$build_dir/webgrubbler-cli"
tools=${BENCH_TOOLS:-webgrubbler wget httrack}
limit=${BENCH_TIMEOUT:-3600}
sizes=("$@")
[ "${#sizes[@]}" -gt 0 ] || sizes=(2000)

# --- prerequisites ----------------------------------------------------------

# shellcheck source=bench/bench_lib.sh
source "$root/bench/bench_lib.sh"

install_missing httrack wget wget2 time nginx python3

build_release_cli "$build_dir"

nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)

# --- work directory and server ------------------------------------------------

work=$(mktemp -d "${BENCH_WORKDIR:-/tmp}/crawl-bench.XXXXXX")
chmod 755 "$work"  # nginx workers may run as another user when started by root
nginx_pid=""

stop_nginx() {
    if [ -n "$nginx_pid" ]; then
        kill "$nginx_pid" 2>/dev/null || true
        wait "$nginx_pid" 2>/dev/null || true
        nginx_pid=""
    fi
}

cleanup() {
    stop_nginx
    if [ "${BENCH_KEEP:-0}" = 1 ]; then
        echo "bench: work directory kept: $work" >&2
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# start_nginx SITE_DIR PORT: serves SITE_DIR on 127.0.0.1:PORT in the background.
start_nginx() {
    local site=$1 port=$2 conf="$work/nginx"
    mkdir -p "$conf/tmp"
    local access_log="access_log off;"
    if [ "${BENCH_ACCESS_LOG:-0}" = 1 ]; then
        : >"$conf/access.log"
        # Request time in seconds with milliseconds, for gaps between requests.
        access_log="log_format bench '\$msec \$request \$status \$body_bytes_sent';
    access_log $conf/access.log bench;"
    fi
    cat >"$conf/nginx.conf" <<EOF
daemon off;
worker_processes 1;
pid $conf/nginx.pid;
error_log $conf/error.log warn;
events { worker_connections 1024; }
http {
    $access_log
    client_body_temp_path $conf/tmp/body;
    proxy_temp_path $conf/tmp/proxy;
    fastcgi_temp_path $conf/tmp/fastcgi;
    uwsgi_temp_path $conf/tmp/uwsgi;
    scgi_temp_path $conf/tmp/scgi;
    types {
        text/html html php;
        text/css css;
        image/jpeg jpg;
        image/png png;
        image/gif gif;
        application/zip zip;
    }
    default_type application/octet-stream;
    sendfile on;
    keepalive_timeout 30;
    server {
        listen 127.0.0.1:$port;
        root $site;
        index index.html;
        # The query pages are answered from one stored page per id.
        location = /list/view.php {
            try_files /list/view/\$arg_id.html =404;
        }
    }
}
EOF
    "$nginx_bin" -e "$conf/error.log" -p "$conf" -c "$conf/nginx.conf" &
    nginx_pid=$!
    for _ in $(seq 1 100); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            return 0
        fi
        kill -0 "$nginx_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "bench: nginx did not start on port $port:" >&2
    cat "$conf/error.log" >&2 || true
    exit 1
}

# --- measuring ----------------------------------------------------------------

# The mirrored files of each tool, without its own bookkeeping:
#   webgrubbler  HOME/Downloads (settings, state and logs live in HOME itself)
#   wget         the whole directory (wget keeps no files of its own there)
#   httrack      the site directories below -O; not hts-cache/, hts-log.txt,
#                the project index.html, backblue.gif, fade.gif, cookies.txt
list_saved() {
    local tool=$1 dir=$2
    case $tool in
        webgrubbler*) find "$dir/Downloads" -type f 2>/dev/null ;;
        wget | wget2) find "$dir" -type f ;;
        httrack | httrack-default)
            find "$dir" -mindepth 2 -type f -not -path "$dir/hts-cache/*" 2>/dev/null
            ;;
    esac
}

# The directory of the mirrored host inside a tool's output.
mirror_root() {
    local tool=$1 dir=$2
    case $tool in
        webgrubbler*) compgen -G "$dir/Downloads/*" | head -n 1 ;;
        wget) compgen -G "$dir/127.0.0.1:*" | head -n 1 ;;
        wget2) compgen -G "$dir/127.0.0.1*" | head -n 1 ;;
        httrack*) compgen -G "$dir/127.0.0.1_*" | head -n 1 ;;
    esac
}

# Counts by kind: pages pictures css zip queries scripts other (space separated).
count_kinds() {
    awk '{ n = tolower($0) }
         n ~ /view\.php/ { q++; next }
         n ~ /tool[0-9]+\.php/ { s++; next }
         n ~ /\.html?$/ { h++; next }
         n ~ /\.(jpg|png|gif)$/ { p++; next }
         n ~ /\.css$/ { c++; next }
         n ~ /\.zip$/ { z++; next }
         { o++ }
         END { printf "%d %d %d %d %d %d %d\n", h, p, c, z, q, s, o }'
}

results="$work/results.txt"
kinds="$work/kinds.txt"
missing_list="$work/missing.txt"
loads="$work/loads.txt"
: >"$results"
: >"$kinds"
: >"$missing_list"
: >"$loads"

# run_tool TOOL N PORT EXPECTED SITE_DIR: one timed mirror.
run_tool() {
    local tool=$1 n=$2 port=$3 expected=$4 site=$5
    local out="$work/$tool-$n" url="http://127.0.0.1:$port/"
    rm -rf "$out"
    mkdir -p "$out"
    local cmd=()
    case $tool in
        webgrubbler | webgrubbler-par | webgrubbler-fast)
            local sets=()
            if [ "$tool" = webgrubbler-par ]; then
                # As many download connections as httrack opens by default,
                # two page workers, and no throttling of the page workers by
                # the download queue length.
                sets+=(--set NUM_URL_THREADS=2 --set NUM_DOWNLOAD_THREADS=8
                    --set MIN_DOWNLOAD_QUEUE=100000)
            fi
            if [ "$tool" = webgrubbler-fast ]; then
                # The settings the README gives for fast mirrors.
                sets+=(--set NUM_URL_THREADS=8 --set NUM_DOWNLOAD_THREADS=2
                    --set MIN_DOWNLOAD_QUEUE=100000 --set KEEP_ALIVE=1)
            fi
            for kv in ${BENCH_WG_SET:-}; do sets+=(--set "$kv"); done
            # "web" alone: ticking Web Pages restores the default FILE_TYPES,
            # whose catch-all '.' wants every extension but executables, so
            # pictures, the stylesheet and the archives are all downloaded
            # (the other group boxes are unticked by it anyway).
            cmd=("$cli" -q --no --home "$out" --scope domain --types web "${sets[@]}" "$url")
            ;;
        wget2)
            # The same mirror with eight connections.
            cmd=(wget2 --mirror --no-parent --page-requisites --convert-links --max-threads 8
                -q -P "$out" "$url")
            ;;
        wget)
            # --convert-links: the offline rewriting that webgrubbler and
            # httrack also do; --page-requisites: pictures and stylesheets.
            cmd=(wget --mirror --no-parent --page-requisites --convert-links -q -P "$out" "$url")
            ;;
        httrack)
            # Without these three its built-in politeness limits (connections
            # per second, bytes per second) pace it to about one file a second.
            cmd=(httrack "$url" -O "$out" -q --disable-security-limits
                --connection-per-second=0 --max-rate=0)
            ;;
        httrack-default)
            cmd=(httrack "$url" -O "$out" -q)
            ;;
    esac
    local log="$work/nginx/access.log" logged_before=0
    [ -f "$log" ] && logged_before=$(wc -l <"$log")
    local load_before
    load_before=$(cut -d' ' -f1-3 /proc/loadavg)
    local rc=0
    (cd "$out" && /usr/bin/time -f '%e %U %S %M' -o "$out.time" \
        timeout "$limit" "${cmd[@]}" >"$out.stdout" 2>"$out.stderr") || rc=$?
    local wall user sys rss
    read -r wall user sys rss < <(tail -n 1 "$out.time")
    local cpu mb saved
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
    mb=$(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }')
    saved=$(list_saved "$tool" "$out" | wc -l)
    # From the access log: requests, distinct paths requested, and the time
    # in pauses of more than 100 ms between two requests.
    local requests=- distinct=- idle=-
    if [ -f "$log" ]; then
        tail -n +"$((logged_before + 1))" "$log" >"$out.requests"
        requests=$(wc -l <"$out.requests")
        distinct=$(awk '{ print $3 }' "$out.requests" | sort -u | wc -l)
        idle=$(awk '{ if (NR > 1 && $1 - p > 0.1) s += $1 - p; p = $1 }
                    END { printf "%.1f", s }' "$out.requests")
    fi
    echo "$tool $n $wall $cpu $user $sys $mb $saved $expected $rc $requests $distinct $idle" \
        >>"$results"
    echo "$tool $n $(list_saved "$tool" "$out" | count_kinds)" >>"$kinds"
    local mirror
    mirror=$(mirror_root "$tool" "$out" || true)
    if [ -n "$mirror" ]; then
        # A query page is saved under a name of each tool's own.
        comm -23 <(cd "$site" && find . -type f -not -path './list/view/*' | sort) \
            <(cd "$mirror" && find . -type f | sort) |
            sed "s|^\./|$tool $n /|" >>"$missing_list"
    fi
    echo "$tool $n $load_before | $(cut -d' ' -f1-3 /proc/loadavg)" >>"$loads"
    echo "bench: $tool N=$n: ${wall}s, $saved of $expected files, exit $rc" >&2
    if [ "$rc" -ne 0 ]; then
        tail -n 5 "$out.stderr" >&2 || true
    fi
}

for n in "${sizes[@]}"; do
    site="$work/site-$n"
    dynamic=(--dynamic)
    [ "${BENCH_DYNAMIC:-1}" = 1 ] || dynamic=()
    summary=$(python3 "$root/bench/make_site.py" "$n" "$site" "${dynamic[@]}" | tail -n 1)
    chmod -R a+rX "$site"
    expected=$(sed -n 's/.* total=\([0-9]*\).*/\1/p' <<<"$summary")
    echo "bench: $summary" >&2
    echo "site $n $(sed -n 's/.*pages=\([0-9]*\) pictures=\([0-9]*\) stylesheets=\([0-9]*\) archives=\([0-9]*\) queries=\([0-9]*\) scripts=\([0-9]*\).*/\1 \2 \3 \4 \5 \6 0/p' <<<"$summary")" >>"$kinds"
    port=$(free_port)
    start_nginx "$site" "$port"
    for tool in $tools; do
        run_tool "$tool" "$n" "$port" "$expected" "$site"
    done
    stop_nginx
    [ "${BENCH_KEEP:-0}" = 1 ] || rm -rf "$site"
done

# --- report -------------------------------------------------------------------

echo
echo "| tool | N | wall s | CPU s | user s | sys s | peak MB | files saved | expected | exit |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
while read -r tool n wall cpu user sys mb saved expected rc _; do
    echo "| $tool | $n | $wall | $cpu | $user | $sys | $mb | $saved | $expected | $rc |"
done <"$results"
if [ "${BENCH_ACCESS_LOG:-0}" = 1 ]; then
    echo
    echo "| tool | N | requests | distinct paths | idle s (gaps > 100 ms) |"
    echo "|---|---:|---:|---:|---:|"
    while read -r tool n _ _ _ _ _ _ _ _ requests distinct idle; do
        echo "| $tool | $n | $requests | $distinct | $idle |"
    done <"$results"
fi
echo
echo "| saved by | N | pages .html | pictures | .css | .zip | query pages | script pages | other |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|"
while read -r tool n h p c z q sc o; do
    echo "| $tool | $n | $h | $p | $c | $z | $q | $sc | $o |"
done <"$kinds"
if [ -s "$missing_list" ]; then
    echo
    echo "Site files not saved (first 20 per tool and N):"
    awk '{ k = $1 " " $2; if (++c[k] <= 20) print "    " $0 }' "$missing_list"
fi
echo
echo "| tool | N | load average before | after |"
echo "|---|---:|---|---|"
while IFS='|' read -r left after; do
    read -r tool n l1 l5 l15 <<<"$left"
    echo "| $tool | $n | $l1 $l5 $l15 | ${after# } |"
done <"$loads"
echo
echo "Machine: $(nproc) cores."
