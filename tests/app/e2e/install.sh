#!/usr/bin/env bash
# cmake --install of a build into a scratch prefix: both programs in bin/,
# the desktop entry for module files and the icon in share/.
#   install.sh BUILD_DIR
set -uo pipefail
build=$1
prefix=$(mktemp -d /tmp/quavix-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null || exit 1
failures=0
check() {
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
desktop=$prefix/share/applications/quavix-player.desktop
check "bin/quavix-player is installed" test -x "$prefix/bin/quavix-player"
check "bin/quavix is installed" test -x "$prefix/bin/quavix"
check "the installed quavix runs" "$prefix/bin/quavix" --version
check "the icon is installed" test -s "$prefix/share/icons/hicolor/scalable/apps/quavix-player.svg"
check "the desktop entry is valid" desktop-file-validate "$desktop"
check "the desktop entry starts the window with a file" grep -qx 'Exec=quavix-player %f' "$desktop"
check "the desktop entry takes module files" grep -qx 'MimeType=audio/x-xm;audio/x-mod;audio/x-s3m;audio/x-it;' "$desktop"
[ $failures -eq 0 ] || { echo "$failures checks failed"; exit 1; }
