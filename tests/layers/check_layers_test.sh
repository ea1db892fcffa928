#!/usr/bin/env bash
# The floor check finds what it must: a tree with one include of each kind that runs against the
# floors, and one that keeps to them.
set -euo pipefail
check="$1"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{model,acquisition,view,app,painting}
printf '#include "model/a.h"\n' > "$tree/acquisition/ok.h"
printf '#include "reports/r.h"\n#include "view/y.h"\n' > "$tree/view/ok.cpp"
if ! bash "$check" "$tree" > "$tree/out"; then echo "a tree that keeps the floors was refused:"; cat "$tree/out"; exit 1; fi
printf '#include "acquisition/s.h"\n' > "$tree/model/up.h"
printf '#include <QString>\n' > "$tree/app/qt.cpp"
printf '#include "app/paths.h"\n#include "painting/x.h"\n' > "$tree/view/up.cpp"
if bash "$check" "$tree" > "$tree/out"; then echo "the includes against the floors passed"; exit 1; fi
grep -q 'model/up.h: includes "acquisition/s.h"' "$tree/out"
grep -q 'view/up.cpp: includes "app/paths.h"' "$tree/out"
grep -q 'view/up.cpp: includes "painting/x.h"' "$tree/out"
grep -q 'app/qt.cpp: includes Qt' "$tree/out"
[ "$(wc -l < "$tree/out")" -eq 4 ] || { echo "unexpected findings:"; cat "$tree/out"; exit 1; }
