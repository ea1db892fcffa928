#!/usr/bin/env bash
# Checks that every #include in src/ follows the floors: a folder includes only its own floor and
# those below it, and the core never includes Qt. Prints each include that runs the wrong way and
# exits 1 when there is one. Usage: check-layers.sh [SOURCE_ROOT]
set -euo pipefail
src="${1:-$(dirname "$0")/../src}"

# What each folder may include (its own name included).
declare -A allowed=(
  [model]="model"
  [acquisition]="model acquisition"
  [storage]="model storage"
  [reports]="model acquisition storage reports"
  [view]="model acquisition storage reports view"
  [app]="model acquisition storage reports view app"
  [library]="model acquisition storage reports view library"
  [painting]="model acquisition storage reports view painting"
  [desktop]="model acquisition storage reports view app library painting desktop"
  [cli]="model acquisition storage reports view app library painting cli"
)
# Folders that are plain C++ and POSIX.
core="model acquisition storage reports view app library"

status=0
while IFS= read -r -d '' file; do
  rel="${file#"$src"/}"
  folder="${rel%%/*}"
  if [ -z "${allowed[$folder]+x}" ]; then
    echo "$rel: the folder '$folder' has no floor; add it to $(basename "$0")"
    status=1
    continue
  fi
  while IFS= read -r line; do
    target="${line#*\"}"
    target="${target%%/*}"
    case " ${allowed[$folder]} " in
      *" $target "*) ;;
      *) echo "$rel: includes \"${line#*\"}, which is above the floor of $folder/"; status=1 ;;
    esac
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z_]+/' "$file" || true)
  case " $core " in
    *" $folder "*)
      if grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$file"; then
        echo "$rel: includes Qt, which core never does"
        status=1
      fi
      ;;
  esac
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
exit $status
