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
export TZ=UTC LC_ALL=C.UTF-8

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

# The window and its dialogs, grabbed from the program itself on the simulated plate.
tests="$(dirname "$cli")/velkora_ui_tests"
if [ -x "$tests" ]; then
  VELKORA_DOC_IMAGES="$out" "$tests" --gtest_also_run_disabled_tests --gtest_filter='DocumentationImages.*' >"$work/grab.log" 2>&1 ||
    { cat "$work/grab.log" >&2; exit 1; }
fi

echo "make-docs-images: wrote the pictures to $out"
