#!/usr/bin/env bash
# A throwaway PostgreSQL 15 server for the tests, in a folder of its own: its data, and its
# Unix socket (no TCP port), run as the postgres user, since the tests may run as root.
#   postgres_server.sh start FOLDER [durable]
#                                     starts it (a previous one there is stopped first) and
#                                     writes its connection URL to FOLDER/url; without
#                                     "durable" it does not wait for the disk (fsync off)
#   postgres_server.sh stop FOLDER    stops it and removes the folder
set -euo pipefail
action=$1
folder=$2
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
as_postgres() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
stop() {
    if [ -f "$folder/data/postmaster.pid" ]; then
        as_postgres "$bin/pg_ctl" stop -D "$folder/data" -m immediate -w >/dev/null 2>&1 || true
    fi
    rm -rf "$folder"
}
case $action in
start)
    stop
    mkdir -p "$folder"
    [ "$(id -u)" -ne 0 ] || chown postgres: "$folder"
    as_postgres "$bin/initdb" -D "$folder/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 \
        >"$folder/initdb.log" 2>&1 || { cat "$folder/initdb.log"; exit 1; }
    as_postgres "$bin/pg_ctl" start -D "$folder/data" -l "$folder/server.log" -w \
        -o "-c listen_addresses='' -k $folder -p 5432 $([ "${3:-}" = durable ] || echo -c fsync=off)" \
        >/dev/null ||
        { cat "$folder/server.log"; exit 1; }
    echo "postgresql://postgres@/postgres?host=$folder&port=5432" >"$folder/url"
    ;;
stop) stop ;;
*)
    echo "usage: postgres_server.sh start|stop FOLDER" >&2
    exit 2
    ;;
esac
