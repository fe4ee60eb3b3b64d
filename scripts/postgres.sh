#!/usr/bin/env bash
# A throwaway PostgreSQL 15 cluster for the tests and the benchmarks, from Debian's postgresql
# package: made with initdb in a folder of its own, listening only on a Unix socket in that
# folder (no TCP), and removed with it.
#
#   scripts/postgres.sh start DIR   make and start the cluster in DIR (new or empty), print its
#                                   connection URI for the superuser postgres
#   scripts/postgres.sh stop DIR    stop the cluster in DIR and remove DIR (none there: nothing to do)
#   scripts/postgres.sh uri DIR [USER]   print the URI of the cluster in DIR for USER
#
# The server refuses to run as root, and CI runs as root: there it runs as Debian's postgres
# user, which owns DIR. Nothing is installed here: scripts/common.sh's install_missing does that.
set -euo pipefail

bin=/usr/lib/postgresql/15/bin
fail() { echo "postgres.sh: $*" >&2; exit 1; }

# Runs a command as the cluster's owner: the postgres user when this is root, else this user.
as_owner() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

# A connection URI with the socket folder as its host, percent-encoded as libpq reads it.
uri() {
    local dir=$1 user=${2:-postgres} host
    host=$(printf '%s' "$dir" | sed 's/%/%25/g; s#/#%2F#g; s/ /%20/g')
    echo "postgresql://$user@$host/postgres"
}

start() {
    local dir=$1
    [ -x "$bin/initdb" ] || fail "$bin/initdb not found: install Debian's postgresql-15"
    mkdir -p "$dir"
    [ -z "$(ls -A "$dir")" ] || fail "$dir is not empty"
    dir=$(cd "$dir" && pwd)
    # The unprivileged owner must be able to reach its folder through every parent.
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$dir"
        local parent=$dir
        while parent=$(dirname "$parent") && [ "$parent" != / ]; do
            chmod o+x "$parent"
        done
    fi
    as_owner "$bin/initdb" --pgdata="$dir/data" --username=postgres --auth=trust \
        --encoding=UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
        fail "initdb failed: see $dir/initdb.log"
    as_owner "$bin/pg_ctl" --pgdata="$dir/data" --log="$dir/server.log" --wait --silent \
        -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c max_connections=100" \
        start || fail "the server did not start: see $dir/server.log"
    uri "$dir"
}

stop() {
    local dir=$1
    # Stopped already (a test run repeated, a cleanup after a failed start): nothing to do.
    [ -d "$dir/data" ] || return 0
    as_owner "$bin/pg_ctl" --pgdata="$dir/data" --wait --silent --mode=fast stop ||
        fail "the server in $dir did not stop: see $dir/server.log"
    rm -rf "$dir"
}

case ${1:-} in
start) [ $# -eq 2 ] || fail "usage: $0 start DIR"; start "$2" ;;
stop) [ $# -eq 2 ] || fail "usage: $0 stop DIR"; stop "$2" ;;
uri) [ $# -ge 2 ] || fail "usage: $0 uri DIR [USER]"; uri "$2" "${3:-postgres}" ;;
*) fail "usage: $0 start DIR | stop DIR | uri DIR [USER]" ;;
esac
