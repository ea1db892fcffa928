#!/usr/bin/env bash
# A throwaway PostgreSQL server for the library's server tests and benchmarks.
#
#   pg-test-server.sh start DIR   makes a new cluster in DIR (or starts the one already there again)
#   pg-test-server.sh stop DIR    stops it (DIR stays; start brings it back with its data)
#
# The server runs as the unprivileged "postgres" user (through runuser when started as root: the server
# refuses to run as root), listens on a Unix socket in DIR and on 127.0.0.1 (without TLS) at a free port,
# and asks every user for a scram-sha-256 password. It has the library's roles (packaging/postgresql/
# velkora-roles.sql, applied to template1 so that every new database has them), a test user
# "velkora_test" (a velkora_writer that may create databases), a reader "velkora_test_reader", and their
# passwords in DIR/pgpass. DIR/env holds what the tests read:
#   VELKORA_TEST_POSTGRES  the test user's connection URI (database velkora_test, over the socket)
#   PGPASSFILE             DIR/pgpass
# The cluster is made for speed, not safety (fsync off): never keep data in it.
set -euo pipefail

usage() {
  echo "usage: $0 start|stop DIR" >&2
  exit 2
}
[ $# -eq 2 ] || usage
action=$1
dir=$2
here=$(cd "$(dirname "$0")" && pwd)

pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$pgbin" ] || [ ! -x "$pgbin/initdb" ]; then
  echo "pg-test-server: no PostgreSQL server found under /usr/lib/postgresql (apt install postgresql)" >&2
  exit 1
fi

# The server's own commands run as "postgres" when we are root.
as_server() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

free_port() {
  local p
  for p in $(shuf -i 20000-60000 -n 200); do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null && [ ! -e "$dir/.s.PGSQL.$p" ]; then
      echo "$p"
      return 0
    fi
  done
  echo "pg-test-server: no free port found" >&2
  return 1
}

random_password() { head -c 48 /dev/urandom | base64 | tr -dc 'A-Za-z0-9' | head -c 32; }

start_server() {
  local port=$1
  as_server "$pgbin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 -s \
    -o "-c port=$port -c listen_addresses=127.0.0.1 -c unix_socket_directories='$dir' -c ssl=off" \
    -o "-c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=60" start
}

case "$action" in
  start)
    if [ -f "$dir/data/PG_VERSION" ]; then
      start_server "$(cat "$dir/port")"
      exit 0
    fi
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    chmod 700 "$dir"
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$dir"; fi
    superuser_password=$(random_password)
    user_password=$(random_password)
    reader_password=$(random_password)
    # The superuser's password exists only for this script's setup; it is in no file the tests read.
    (umask 077 && printf '%s\n' "$superuser_password" >"$dir/superuser.pw")
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$dir/superuser.pw"; fi
    as_server "$pgbin/initdb" -D "$dir/data" -U postgres -E UTF8 --locale=C.UTF-8 --no-sync \
      --auth-local=scram-sha-256 --auth-host=scram-sha-256 --pwfile="$dir/superuser.pw" >"$dir/initdb.log"
    rm -f "$dir/superuser.pw"
    port=$(free_port)
    echo "$port" >"$dir/port"
    start_server "$port"
    export PGPASSWORD=$superuser_password
    superuser=("$pgbin/psql" -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$port" -U postgres)
    "${superuser[@]}" -d template1 -f "$here/../packaging/postgresql/velkora-roles.sql" >/dev/null
    "${superuser[@]}" -d postgres >/dev/null <<SQL
CREATE ROLE velkora_test LOGIN CREATEDB PASSWORD '$user_password' IN ROLE velkora_writer;
CREATE ROLE velkora_test_reader LOGIN PASSWORD '$reader_password' IN ROLE velkora_reader;
CREATE DATABASE velkora_test OWNER velkora_test;
SQL
    unset PGPASSWORD
    (umask 077 && printf '*:*:*:velkora_test:%s\n*:*:*:velkora_test_reader:%s\n' "$user_password" \
      "$reader_password" >"$dir/pgpass")
    cat >"$dir/env" <<ENV
export VELKORA_TEST_POSTGRES='postgresql://velkora_test@/velkora_test?host=$dir&port=$port'
export PGPASSFILE='$dir/pgpass'
ENV
    ;;
  stop)
    if [ -f "$dir/data/postmaster.pid" ]; then
      as_server "$pgbin/pg_ctl" -D "$dir/data" -m fast -w -t 60 -s stop
    fi
    ;;
  *)
    usage
    ;;
esac
