#!/usr/bin/env bash
# Draws the pictures README shows (docs/images/) from tests recorded on the simulated plate: with
# velkora-cli the curve graph of a power test, the bar graph of a force test counted in repetitions
# and the first printed page of that test's digital report in intervals of 200 ms; and grabs of the
# program's window and dialogs (window-*.png, dialog-*.png) taken by the ui test program beside
# velkora-cli. The pictures are committed; run this after a change of the drawing, with the Qt build
# made, e.g.
#   scripts/make-docs-images.sh [path/to/velkora-cli]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${1:-$root/build/bin/velkora-cli}"
if [ ! -x "$cli" ]; then
  echo "make-docs-images: no velkora-cli at $cli (build it first, or give its path)" >&2
  exit 1
fi
out="$root/docs/images"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
# The same picture on every machine: the date line in UTC, numbers with a decimal point.
export TZ=UTC LC_ALL=C.UTF-8 VELKORA_ROOT="$root"

# Records quietly; the progress is shown only when the recording fails.
record() {
  if ! "$cli" record "$@" 2>"$work/record.log"; then
    cat "$work/record.log" >&2
    exit 1
  fi
}

# A countermovement jump of a 75 kg subject with 450 ms of flight, recorded for 5 s after the weighing.
record --power 5 --simulate=jump:75:450,fast --output "$work/jump.tsr"
# Eight pushes of 1400 N with 500 N sideways, 350 ms each, counted as repetitions from 50 N.
record --force-reps 8 --start-force 50 --simulate=pushes:8:1400:350:500:300,fast --output "$work/pushes.vkr"

# The jump from the start of the countermovement to the landing; the cursors stand on the window's ends.
"$cli" plot "$work/jump.tsr" --from 2000 --to 4500 --size 900x480 --output "$out/curve-graph.png"
"$cli" plot "$work/pushes.vkr" --bars --size 900x480 --output "$out/bar-graph.png"
"$cli" print "$work/pushes.vkr" --view digital --interval 200 --output "$out/report-page.png"

# The subject library: six jumps of one subject over seven weeks (designed motions of the centre of
# mass, written by make_jump_files.py's writer with the subject's name and the test's date), scanned into
# a library; the trend of the jump height and three of the jumps compared.
python3 - "$work/DATA" <<'PY'
import os, random, struct, sys
sys.path.insert(0, os.path.join(os.environ.get("VELKORA_ROOT", "."), "scripts"))
import make_jump_files as jumps
folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
rng = random.Random(17)
made = 0
day = 0
while made < 6:
    forces, mass = jumps.jump_forces(rng, 5000)
    if forces is None:
        continue
    data = bytearray(jumps.measurement_file(forces, mass, "Katarina Horvat"))
    data[-4:] = struct.pack("<i", 1714550400 + day * 86400 * 9 + made * 3600)
    with open(os.path.join(folder, "jump%d.tsr" % made), "wb") as f:
        f.write(bytes(data))
    made += 1
    day += 1
PY
"$cli" library scan "$work/DATA" --library "$work/library.sqlite" >/dev/null
"$cli" library trend --subject "Katarina Horvat" --metric jumpHeightTakeoffVelocity_cm --library "$work/library.sqlite" \
  --output "$out/library-trend.png"
"$cli" library compare "$work/DATA/jump0.tsr" "$work/DATA/jump2.tsr" "$work/DATA/jump5.tsr" --output "$out/library-compare.png"

# The window and its dialogs, grabbed from the program itself on the simulated plate.
tests="$(dirname "$cli")/velkora_ui_tests"
if [ -x "$tests" ]; then
  VELKORA_DOC_IMAGES="$out" "$tests" --gtest_also_run_disabled_tests --gtest_filter='DocumentationImages.*' >"$work/grab.log" 2>&1 ||
    { cat "$work/grab.log" >&2; exit 1; }
fi

echo "make-docs-images: wrote the pictures to $out"
