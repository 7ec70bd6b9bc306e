#!/usr/bin/env bash
# Usage: pg_cluster.sh start|stop DIR — a throw-away PostgreSQL cluster for the
# register tests, listening on 127.0.0.1 on a free port (written to DIR/port),
# user "norva", password "norva-test". initdb refuses root, so as root the
# cluster runs as the unprivileged user nobody.
set -euo pipefail
what=$1
dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
if [ -z "$bin" ]; then
    echo "pg_cluster.sh: PostgreSQL is not installed (scripts/deps.sh installs it)" >&2
    exit 1
fi
as_owner() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi
}

stop() {
    if [ -f "$dir/data-dir" ]; then
        data=$(cat "$dir/data-dir")
        if [ -f "$data/postmaster.pid" ]; then
            as_owner "$bin/pg_ctl" -D "$data" -m immediate -w stop >/dev/null 2>&1 || true
        fi
        rm -rf "$(dirname "$data")"
    fi
    rm -f "$dir/data-dir" "$dir/port"
}

case "$what" in
stop)
    stop
    ;;
start)
    stop
    mkdir -p "$dir"
    # The cluster's owner must reach its files: under the build tree when it
    # can, else in /tmp.
    root=$(mktemp -d "$dir/cluster.XXXXXX")
    if [ "$(id -u)" -eq 0 ]; then
        chown nobody "$root"
        if ! runuser -u nobody -- test -w "$root"; then
            rm -rf "$root"
            root=$(mktemp -d /tmp/norva-pg.XXXXXX)
            chown nobody "$root"
        fi
    fi
    echo "$root/data" >"$dir/data-dir"
    echo norva-test >"$root/pw"
    chmod 644 "$root/pw"
    as_owner "$bin/initdb" -D "$root/data" -U norva --auth=scram-sha-256 --pwfile="$root/pw" \
        -E UTF8 --no-sync >"$root/initdb.log" 2>&1 || { cat "$root/initdb.log" >&2; exit 1; }
    for try in 1 2 3 4 5; do
        port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
        if as_owner "$bin/pg_ctl" -D "$root/data" -l "$root/server.log" -w -t 60 \
            -o "-p $port -c listen_addresses=127.0.0.1 -c unix_socket_directories= -c fsync=off -c max_connections=60" \
            start >/dev/null; then
            echo "$port" >"$dir/port"
            exit 0
        fi
    done
    cat "$root/server.log" >&2
    exit 1
    ;;
*)
    echo "usage: pg_cluster.sh start|stop DIR" >&2
    exit 2
    ;;
esac
