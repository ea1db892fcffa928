#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root or with sudo), builds Velkora and runs its tests. The
# server library's tests run against a PostgreSQL server of their own: started here before ctest (its
# connection in VELKORA_TEST_POSTGRES, its passwords in PGPASSFILE) and stopped at the end, also when a
# test fails or the run is interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

server=$(mktemp -d /tmp/velkora-test-server-XXXXXX)
stop_server() {
  bash scripts/pg-test-server.sh stop "$server" || true
  rm -rf "$server"
}
trap stop_server EXIT
trap 'exit 130' INT TERM
bash scripts/pg-test-server.sh start "$server"
# shellcheck source=/dev/null
. "$server/env"
ctest --test-dir build --output-on-failure -j"$(nproc)"
