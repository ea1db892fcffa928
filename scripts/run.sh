#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root or with sudo), builds Velkora and starts the desktop
# program on the simulated plate, `velkora --simulate`, so every test, the check readout, the
# weighing and the calibration work without a plate (arguments are passed on, e.g. a .vkr or .tsr
# file to open; build/bin/velkora without --simulate uses the plate). On a machine without a display
# it says so and runs the command-line demonstration instead: it records a force test and a power
# test with velkora-cli, on the plate when one is attached over USB and on the simulated plate
# otherwise, then shows what the files hold and their reports.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  cmake --build build -j"$(nproc)" --target velkora velkora-cli
  echo "Starting velkora on the simulated plate (its \"Simulated plate\" menu sets the subject and unplugs the plate)."
  exec build/bin/velkora --simulate "$@"
fi

echo "No display (DISPLAY and WAYLAND_DISPLAY are not set): running the command-line demonstration instead."
cmake --build build -j"$(nproc)" --target velkora-cli
cli=build/bin/velkora-cli

plate=(--simulate)
for product in /sys/class/tty/*/device/../../product; do
  if [ -r "$product" ] && [ "$(cat "$product" 2>/dev/null)" = "Orvel velkora" ]; then plate=(); fi
done
if [ "${#plate[@]}" -eq 0 ]; then echo "Plate found: recording from it."; else echo "No plate attached: using the simulated plate."; fi

out=build/run
mkdir -p "$out"
echo "--- force test, 3 repetitions from a start force of 20 N"
"$cli" record --force-reps 3 --start-force 20 --output "$out/force.vkr" "${plate[@]/--simulate/--simulate=pushes:3}"
"$cli" info "$out/force.vkr"
"$cli" report repetition "$out/force.vkr"
echo "--- power test, 4 s"
"$cli" record --power 4 --output "$out/jump.tsr" "${plate[@]/--simulate/--simulate=jump}"
"$cli" report summary "$out/jump.tsr"
"$cli" report height "$out/jump.tsr"
echo "Files are in $out; velkora-cli --help lists every command."
