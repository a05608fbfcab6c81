#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests and the demo: a cluster in DIR, reached only over a Unix
# socket in DIR/socket, owner role "corvana" without a password (trust on the socket; no TCP port is
# opened). PostgreSQL refuses to run as root, so the server runs as the "postgres" system user.
#   pg-sandbox.sh start DIR   makes the cluster when DIR has none, starts it, prints the socket folder
#   pg-sandbox.sh stop DIR    stops it (the cluster stays in DIR; remove DIR to forget it)
set -euo pipefail
action=${1:-}
dir=${2:-}
if [ -z "$action" ] || [ -z "$dir" ]; then
    echo "usage: pg-sandbox.sh start|stop DIR" >&2
    exit 2
fi
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bin" ] || [ ! -x "$bin/pg_ctl" ]; then
    echo "pg-sandbox: no PostgreSQL server binaries (install the Debian package postgresql)" >&2
    exit 3
fi
user=postgres
if [ "$(id -u)" -ne 0 ]; then
    user=$(id -un)
fi
as_user() {
    if [ "$(id -un)" = "$user" ]; then "$@"; else runuser -u "$user" -- "$@"; fi
}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
data="$dir/data"
socket="$dir/socket"
case "$action" in
start)
    mkdir -p "$socket"
    chown "$user" "$dir" "$socket"
    chmod 0700 "$dir"
    chmod 0755 "$socket"
    # The server user must be able to reach DIR through every parent folder.
    parent=$(dirname "$dir")
    while [ "$parent" != "/" ]; do
        if ! as_user test -x "$parent"; then
            echo "pg-sandbox: the user $user cannot reach $parent; choose a folder such as /tmp/..." >&2
            exit 4
        fi
        parent=$(dirname "$parent")
    done
    if [ ! -f "$data/PG_VERSION" ]; then
        as_user "$bin/initdb" -D "$data" -U corvana --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
            cat "$dir/initdb.log" >&2
            exit 5
        }
    fi
    if ! as_user "$bin/pg_ctl" -D "$data" status >/dev/null 2>&1; then
        as_user "$bin/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 60 \
            -o "-k $socket -c listen_addresses='' -p 5432 -c fsync=off -c max_connections=60" start >/dev/null || {
            tail -n 20 "$dir/server.log" >&2
            exit 6
        }
    fi
    echo "$socket"
    ;;
stop)
    if [ -f "$data/PG_VERSION" ]; then
        as_user "$bin/pg_ctl" -D "$data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    ;;
*)
    echo "usage: pg-sandbox.sh start|stop DIR" >&2
    exit 2
    ;;
esac
