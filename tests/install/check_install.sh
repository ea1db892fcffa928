#!/usr/bin/env bash
# Installs the build into a scratch root (DESTDIR) and checks that every file a desktop needs is
# there and valid, and that the installed programs run.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null

fail() { echo "check_install: $*" >&2; exit 1; }
want() { [ -e "$root/usr/$1" ] || fail "missing /usr/$1"; }

want bin/velkora-cli
want share/applications/org.velkora.Velkora.desktop
want share/metainfo/org.velkora.Velkora.metainfo.xml
want share/mime/packages/velkora.xml
want share/icons/hicolor/scalable/apps/org.velkora.Velkora.svg
for size in 16 22 32 48 64 128 256; do want "share/icons/hicolor/${size}x${size}/apps/org.velkora.Velkora.png"; done
want lib/udev/rules.d/99-velkora.rules
want share/man/man1/velkora-cli.1.gz
want share/doc/velkora/README.md
want share/doc/velkora/copyright
want share/doc/velkora/changelog.gz
if [ -e "$build/bin/velkora" ]; then
  want bin/velkora
  want share/man/man1/velkora.1.gz
fi
# Manual pages and the change log are compressed, and nothing of them is left uncompressed.
for file in "$root"/usr/share/man/man1/* "$root"/usr/share/doc/velkora/changelog*; do
  gzip -t "$file" 2>/dev/null || fail "$file is not gzip-compressed"
done

# The files are what their validators accept.
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/org.velkora.Velkora.desktop"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/org.velkora.Velkora.metainfo.xml" >/dev/null ||
    fail "metainfo does not validate"
fi
grep -q 'pattern="\*.vkr"' "$root/usr/share/mime/packages/velkora.xml" || fail "no .vkr MIME glob"
grep -q 'pattern="\*.tsr"' "$root/usr/share/mime/packages/velkora.xml" || fail "no .tsr MIME glob"
# Every MIME type the desktop entry claims is defined.
for type in $(sed -n 's/^MimeType=//p' "$root/usr/share/applications/org.velkora.Velkora.desktop" | tr ';' ' '); do
  grep -q "type=\"$type\"" "$root/usr/share/mime/packages/velkora.xml" || fail "desktop entry claims undefined $type"
done
if command -v man >/dev/null; then
  for page in "$root"/usr/share/man/man1/*.1.gz; do
    MANWIDTH=80 man -l "$page" >/dev/null 2>"$root/man.err" || fail "man page $page does not render"
    if [ -s "$root/man.err" ]; then cat "$root/man.err" >&2; fail "man page $page has warnings"; fi
  done
fi

# The installed programs run from their new place.
"$root/usr/bin/velkora-cli" --help >/dev/null || fail "installed velkora-cli does not run"
if [ -e "$root/usr/bin/velkora" ]; then
  QT_QPA_PLATFORM=offscreen "$root/usr/bin/velkora" --help >/dev/null || fail "installed velkora does not run"
fi
echo "check_install: all files present and valid"
