#!/usr/bin/env bash
# Runs README's run command under a virtual X server until the main window shows (answering the
# start-up messages with OK), saves a grab of the screen as a CI artefact
# (BUILD_DIR/ci-artifacts/main-window.png), then closes the program normally.
# Usage: check-run-window.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
need=()
command -v xvfb-run >/dev/null || need+=(xvfb xauth)
command -v xwininfo >/dev/null || need+=(x11-utils)
command -v import >/dev/null || need+=(imagemagick)
command -v xdotool >/dev/null || need+=(xdotool)
if [ "${#need[@]}" -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
artifacts="$build/ci-artifacts"
mkdir -p "$artifacts"
export ARTIFACTS="$artifacts"

xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
  set -u
  bash scripts/run.sh > "$ARTIFACTS/run.log" 2>&1 &
  script=$!
  for _ in $(seq 1 240); do
    if xwininfo -root -tree 2>/dev/null | grep -q "Kestrane"; then break; fi
    # The start-up messages (an uncalibrated plate, a missing configuration) come before the main
    # window; the user answers them with OK.
    for box in $(xdotool search --onlyvisible --name "^Velkora\$" 2>/dev/null); do
      xdotool windowfocus --sync "$box" key Return 2>/dev/null || true
    done
    if ! kill -0 "$script" 2>/dev/null; then echo "run command ended before the window showed" >&2; cat "$ARTIFACTS/run.log" >&2; exit 1; fi
    sleep 0.5
  done
  xwininfo -root -tree | grep "Kestrane" || { echo "no main window" >&2; cat "$ARTIFACTS/run.log" >&2; exit 1; }
  sleep 2
  import -window root "$ARTIFACTS/main-window.png"
  pid=$(pgrep -n -x velkora) || { echo "velkora is not running" >&2; exit 1; }
  kill -TERM "$pid"
  status=0
  wait "$script" || status=$?
  if [ "$status" -ne 0 ]; then echo "run command exited with $status" >&2; cat "$ARTIFACTS/run.log" >&2; exit 1; fi
'
echo "main window shown and closed normally; grab in $artifacts/main-window.png"
