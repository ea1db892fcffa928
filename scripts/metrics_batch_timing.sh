#!/usr/bin/env bash
# Times `velkora-cli metrics --csv` over 1000 generated five-second power files, as a whole process,
# next to the plain Python implementation of the same metrics (scripts/metrics_reference.py), and
# checks that both print the same bytes. Usage: scripts/metrics_batch_timing.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
cli="${1:-build}/bin/velkora-cli"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 scripts/make_jump_files.py "$work/files" 1000 5
files=("$work"/files/*.tsr)
"$cli" metrics --csv "${files[@]}" >/dev/null  # warm the page cache
best() {  # the fastest of three runs, in seconds
  local fastest=""
  for _ in 1 2 3; do
    local start end
    start=$(date +%s.%N)
    "$@" >"$work/out.csv"
    end=$(date +%s.%N)
    fastest=$(echo "$start $end ${fastest:-1e9}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
  done
  echo "$fastest"
}
cli_time=$(best "$cli" metrics --csv "${files[@]}")
cp "$work/out.csv" "$work/cli.csv"
py_time=$(best python3 scripts/metrics_reference.py "${files[@]}")
if cmp -s "$work/cli.csv" "$work/out.csv"; then same="same output"; else same="OUTPUTS DIFFER"; fi
printf 'metrics --csv, 1000 files of 5 s: velkora-cli %.2f s, python3 %.2f s (%s)\n' "$cli_time" "$py_time" "$same"
