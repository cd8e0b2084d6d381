#!/usr/bin/env bash
# A throwaway PostgreSQL cluster on 127.0.0.1 for the demo and the tests.
#   pg.sh start DIR   initdb into DIR, start on a free port, role sys; writes DIR/env
#   pg.sh stop DIR    stop it and remove DIR
#   pg.sh createdb DIR NAME [schema|demo|TEMPLATE=name]
#   pg.sh halt DIR    stop the server, keep DIR (clients see the server go away)
#   pg.sh restart DIR start a halted server again on its port (or restart a running
#                     one, e.g. to read a changed postgresql.conf)
set -euo pipefail
cmd=${1:?usage: pg.sh start|stop|createdb DIR ...}
dir=${2:?DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
BIN=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)

# initdb refuses root: run the server as the postgres user then.
as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }

free_port() {
  local p first=$((55432 + RANDOM % 400))
  for p in $(seq "$first" 55999) $(seq 55432 "$first"); do
    (exec 3<>/dev/tcp/127.0.0.1/$p) 2>/dev/null && continue
    echo "$p"; return 0
  done
  echo "no free port" >&2; return 1
}

# A SCRAM secret of one iteration for this throwaway cluster's own login (its password is
# no secret): a secret of the server's default 4,096 makes every connection pay that many
# hash rounds on the client, and the tests open thousands of connections. The people's
# logins keep the server's default.
scram_secret() {
  local t hex stored server salt
  t=$(mktemp -d)
  openssl rand -out "$t/salt" 16
  { cat "$t/salt"; printf '\x00\x00\x00\x01'; } | openssl dgst -sha256 -mac HMAC -macopt key:"$1" -binary >"$t/salted"
  hex=$(od -An -tx1 -v "$t/salted" | tr -d ' \n')
  stored=$(printf 'Client Key' | openssl dgst -sha256 -mac HMAC -macopt hexkey:"$hex" -binary | openssl dgst -sha256 -binary | base64)
  server=$(printf 'Server Key' | openssl dgst -sha256 -mac HMAC -macopt hexkey:"$hex" -binary | base64)
  salt=$(base64 <"$t/salt")
  rm -rf "$t"
  printf 'SCRAM-SHA-256$1:%s$%s:%s' "$salt" "$stored" "$server"
}

server_opts() {
  echo "-p $1 -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200 -c autovacuum=off"
}

case "$cmd" in
start)
  rm -rf "$dir"; mkdir -p "$dir"
  [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
  as_pg "$BIN/initdb" -D "$dir/data" -U postgres --locale=C.UTF-8 -E UTF8 \
        --auth-local=trust --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1
  # Clusters started at the same moment (tests running side by side) may pick the same
  # free port: the loser tries another.
  for try in 1 2 3 4 5; do
    port=$(free_port)
    as_pg "$BIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
          -o "$(server_opts "$port")" start >/dev/null && break
    [ "$try" -lt 5 ] || { cat "$dir/server.log" >&2; exit 1; }
    sleep 0.$((RANDOM % 9 + 1))
  done
  as_pg "$BIN/psql" -h "$dir" -p "$port" -U postgres -d postgres -qAt -v ON_ERROR_STOP=1 \
        -c "create role sys login createdb password '$(scram_secret wubalem)'" \
        -c "grant pg_signal_backend to sys" \
        -c "grant set on parameter log_statement to sys" >/dev/null
  printf 'export PGHOST=127.0.0.1 PGPORT=%s PGUSER=sys PGPASSWORD=wubalem\n' "$port" >"$dir/env"
  chmod a+r "$dir/env"
  ;;
stop)
  [ -d "$dir/data" ] && as_pg "$BIN/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  rm -rf "$dir"
  ;;
halt)
  as_pg "$BIN/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
  ;;
restart)
  # shellcheck disable=SC1091
  . "$dir/env"
  as_pg "$BIN/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
  as_pg "$BIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 -o "$(server_opts "$PGPORT")" start >/dev/null
  ;;
createdb)
  name=${3:?NAME}; what=${4:-schema}
  # shellcheck disable=SC1091
  . "$dir/env"
  psql_sys() { PGOPTIONS='-c client_min_messages=warning' psql -X -q -v ON_ERROR_STOP=1 "$@"; }
  psql_sys -d postgres -c "drop database if exists \"$name\"" >/dev/null
  case "$what" in
  TEMPLATE=*) psql_sys -d postgres -c "create database \"$name\" template \"${what#TEMPLATE=}\"" >/dev/null ;;
  *)
    psql_sys -d postgres -c "create database \"$name\" template template0 encoding 'UTF8' lc_collate 'C.UTF-8' lc_ctype 'C.UTF-8'" >/dev/null
    psql_sys -d "$name" -f "$root/db/schema.sql" >/dev/null
    if [ "$what" = demo ]; then psql_sys -d "$name" -f "$root/db/demo.sql" >/dev/null; fi
    ;;
  esac
  ;;
*) echo "unknown command $cmd" >&2; exit 2 ;;
esac
