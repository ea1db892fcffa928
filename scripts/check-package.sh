#!/usr/bin/env bash
# Builds the Debian package from a configured build folder, checks it with lintian, installs it with
# apt, runs the installed velkora-cli on a recording and starts the installed velkora offscreen, then
# removes the package.
# Needs root or sudo. Usage: check-package.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

rm -f "$build"/velkora_*.deb
cmake --build "$build" --target package -j"$(nproc)" >/dev/null
deb=$(ls "$build"/velkora_*.deb)
echo "package: $deb"
dpkg-deb -I "$deb" | sed -n '/Depends/p'
# Debian's package checker: any error fails the check; warnings and notes are shown.
lintian --fail-on error --tag-display-limit 0 "$deb"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get install -y -qq "./$deb" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A recording made by the build, read by the installed program.
"$build/bin/velkora-cli" record --force-reps 3 --simulate=pushes:3,fast --output "$work/sample.vkr" 2>/dev/null
/usr/bin/velkora-cli info "$work/sample.vkr" | grep -q '^repetitionCount: 3$'
/usr/bin/velkora-cli report repetition "$work/sample.vkr" | head -n 3

# The installed desktop program starts offscreen, opens the file and closes normally on SIGTERM,
# writing its configuration in the user's place, not beside /usr/bin/velkora.
home="$work/home"
mkdir -p "$home"
HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=offscreen /usr/bin/velkora "$work/sample.vkr" &
pid=$!
sleep 3
kill -0 "$pid" || { echo "installed velkora ended early" >&2; exit 1; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { echo "installed velkora exited with $status" >&2; exit 1; }
[ -s "$home/.config/Velkora/velkora.cfg" ] || { echo "no configuration in the user's place" >&2; exit 1; }
[ ! -e /usr/bin/velkora.cfg ] || { echo "configuration written beside the installed program" >&2; exit 1; }
[ -d "$home/Documents/Velkora/DATA" ] || { echo "no DATA folder in the user's documents" >&2; exit 1; }

"${sudo_cmd[@]}" apt-get remove -y -qq velkora >/dev/null
[ ! -e /usr/bin/velkora ] && [ ! -e /usr/bin/velkora-cli ] || { echo "package left its programs" >&2; exit 1; }
echo "package installed, used and removed cleanly"
