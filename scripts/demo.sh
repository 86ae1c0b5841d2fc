#!/usr/bin/env bash
# Mirrors the demo site that ships with the project: serves demo/site with
# nginx on a free loopback port, runs the console front end over it within
# the site's domain (web pages and pictures), stops nginx again and prints
# where the offline copy is.
#
# Usage: scripts/demo.sh [CLI [HOME]]
#   CLI   the console front end (default: build-release/webgrubbler-cli)
#   HOME  its program directory (default: run-home); the copy goes to HOME/Downloads
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$root/build-release/webgrubbler-cli}
home=${2:-$root/run-home}

if [ ! -x "$cli" ]; then
    echo "demo: no console front end at $cli (scripts/build.sh builds it)" >&2
    exit 1
fi
nginx=$(command -v nginx || true)
if [ -z "$nginx" ] && [ -x /usr/sbin/nginx ]; then
    nginx=/usr/sbin/nginx
fi
if [ -z "$nginx" ]; then
    echo "demo: nginx is not installed (scripts/setup.sh installs it)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/webgrubbler-demo.XXXXXX")
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
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

accepts() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Writes the server's configuration for port $1.
write_config() {
    cat >"$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid "$work/nginx.pid";
error_log "$work/error.log" notice;
events { worker_connections 64; }
http {
    types {
        text/html html htm;
        text/css css;
        application/javascript js;
        image/png png;
        image/gif gif;
        image/jpeg jpg jpeg;
    }
    default_type application/octet-stream;
    access_log "$work/access.log";
    client_body_temp_path "$work/client_body";
    proxy_temp_path "$work/proxy";
    fastcgi_temp_path "$work/fastcgi";
    uwsgi_temp_path "$work/uwsgi";
    scgi_temp_path "$work/scgi";
    server {
        listen 127.0.0.1:$1;
        root "$root/demo/site";
        include "$root/demo/nginx-locations.conf";
    }
}
CONF
}

# Starts nginx on a port that is free; another program may take the port
# between the test and nginx's bind, so a few ports are tried.
port=""
for _ in 1 2 3 4 5; do
    candidate=$((20000 + RANDOM % 40000))
    if accepts "$candidate"; then
        continue
    fi
    write_config "$candidate"
    "$nginx" -p "$work" -c "$work/nginx.conf" &
    nginx_pid=$!
    for _ in $(seq 1 100); do
        if ! kill -0 "$nginx_pid" 2>/dev/null; then
            break
        fi
        if [ -s "$work/nginx.pid" ] && accepts "$candidate"; then
            port=$candidate
            break
        fi
        sleep 0.05
    done
    if [ -n "$port" ]; then
        break
    fi
    stop_nginx
done
if [ -z "$port" ]; then
    echo "demo: nginx did not start:" >&2
    cat "$work/error.log" >&2 2>/dev/null || true
    exit 1
fi

url="http://127.0.0.1:$port/"
echo "demo: serving $root/demo/site at $url"
mkdir -p "$home"
status=0
"$cli" --home "$home" --scope domain --types web,pictures --set DOWNLOAD_DIR_STRUCTURE=0 "$url" ||
    status=$?
stop_nginx

start="$home/Downloads/127_0_0_1/index.html"
if [ "$status" -ne 0 ] || [ ! -f "$start" ]; then
    echo "demo: the crawl did not finish (exit status $status)" >&2
    exit "$(( status == 0 ? 1 : status ))"
fi
start=$(cd "$(dirname "$start")" && pwd)/index.html
echo
echo "The offline copy of the demo site is in $home/Downloads/127_0_0_1"
echo "Start page: $start"
echo "Open it in a browser: file://$start"
