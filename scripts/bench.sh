#!/usr/bin/env bash
# Measures every hot path: the Google Benchmark programs (medians of 3 repetitions; the team library's
# on a PostgreSQL server of their own, started here and stopped at the end) and the desktop program's
# timings (start, the 61000-row report, memory, repaint, live tick, print preview), and
# `velkora-cli metrics` over 1000 files as a whole process.
# Usage: scripts/bench.sh [--live]   (--live adds the real-time 61 s power test and 25-repetition
# test with their tick and event-loop timings, about 90 s)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
server=$(mktemp -d /tmp/velkora-bench-server-XXXXXX)
stop_server() {
  bash scripts/pg-test-server.sh stop "$server" || true
  rm -rf "$server"
}
trap stop_server EXIT
trap 'exit 130' INT TERM
bash scripts/pg-test-server.sh start "$server"
# shellcheck source=/dev/null
. "$server/env"
for bench in build/bin/*_bench; do
  echo "=== $(basename "$bench")"
  "$bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_median|^BM_' || true
done
echo "=== velkora-cli metrics, whole process"
bash scripts/metrics_batch_timing.sh build
echo "=== desktop program"
build/bin/velkora_ui_tests --gtest_filter='Performance.*:ViewPerformance.*' 2>&1 | grep -vE '^\[|^$|^Note|plugin does not support|XDG_RUNTIME_DIR'
if [ "${1:-}" = "--live" ]; then
  echo "=== live tests on the real-time simulated plate"
  build/bin/velkora_ui_tests --gtest_also_run_disabled_tests --gtest_filter='LiveTestTiming.*' 2>&1 | grep -vE '^\[|^$|^Note|plugin does not support|XDG_RUNTIME_DIR'
fi
