#!/usr/bin/env bash
# Renders module files with two builds of quavix and checks that the WAV
# files are the same byte for byte, as a change that should only make the
# player faster must leave them:
#   bench/compare_renders.sh --reference OLD_QUAVIX [--quavix NEW_QUAVIX] [-- RENDER_OPTION...] FILE...
# NEW_QUAVIX is build-release/cli/quavix by default; options after `--` up
# to the first file are given to both renders (for example --mono or
# --interpolation none). Prints one line per file and exits with 1 when any
# file renders differently (a file that neither build loads counts as the
# same).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
quavix=$root/build-release/cli/quavix
reference=
options=()
while [ $# -gt 0 ]; do
  case $1 in
    --reference) reference=$2; shift 2 ;;
    --quavix) quavix=$2; shift 2 ;;
    --) shift
        while [ $# -gt 0 ] && [ ! -f "$1" ]; do options+=("$1"); shift; done ;;
    *) break ;;
  esac
done
[ -x "$reference" ] || { echo "give the build to compare with: --reference PATH" >&2; exit 2; }
[ -x "$quavix" ] || { echo "no quavix at $quavix; build it or pass --quavix PATH" >&2; exit 2; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

status=0
for f in "$@"; do
  old=ok new=ok
  "$reference" render "$f" -o "$tmp/old.wav" "${options[@]}" 2>/dev/null || old=failed
  "$quavix" render "$f" -o "$tmp/new.wav" "${options[@]}" 2>/dev/null || new=failed
  if [ "$old" = failed ] && [ "$new" = failed ]; then
    echo "same (neither loads)  $f"
  elif [ "$old" = ok ] && [ "$new" = ok ] && cmp -s "$tmp/old.wav" "$tmp/new.wav"; then
    echo "same                  $f"
  else
    echo "DIFFERS               $f"
    status=1
  fi
  rm -f "$tmp/old.wav" "$tmp/new.wav"
done
exit $status
