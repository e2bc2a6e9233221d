#!/usr/bin/env bash
# Renders module files with two builds of quavix and checks that the WAV
# files hold the same audio byte for byte (their "fmt " and "data" chunks),
# as a change that should only make the player faster must leave them. The
# tags (the LIST chunk: title, comment, the program and its version) are not
# compared: builds of other versions, and older builds without tags, write
# other ones.
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

# The "fmt " and "data" chunks of a WAV file, in the order they come, into
# OUT; a file that is not RIFF WAVE is taken whole.
audio_of() {
  local file=$1 out=$2 size offset id length
  size=$(stat -c %s "$file")
  if [ "$(head -c 4 "$file")" != RIFF ] || [ "$(tail -c +9 "$file" | head -c 4)" != WAVE ]; then
    cp "$file" "$out"
    return
  fi
  : > "$out"
  offset=12
  while [ $((offset + 8)) -le "$size" ]; do
    id=$(tail -c +$((offset + 1)) "$file" | head -c 4)
    length=$(od -An -tu4 -j $((offset + 4)) -N4 "$file" | tr -d ' ')
    if [ "$id" = "fmt " ] || [ "$id" = data ]; then
      tail -c +$((offset + 1)) "$file" | head -c $((8 + length)) >> "$out"
    fi
    # Chunks are padded to an even length.
    offset=$((offset + 8 + length + (length & 1)))
  done
}

status=0
for f in "$@"; do
  old=ok new=ok
  "$reference" render "$f" -o "$tmp/old.wav" "${options[@]}" 2>/dev/null || old=failed
  "$quavix" render "$f" -o "$tmp/new.wav" "${options[@]}" 2>/dev/null || new=failed
  if [ "$old" = failed ] && [ "$new" = failed ]; then
    echo "same (neither loads)  $f"
  elif [ "$old" = ok ] && [ "$new" = ok ] && audio_of "$tmp/old.wav" "$tmp/old.audio" &&
       audio_of "$tmp/new.wav" "$tmp/new.audio" && cmp -s "$tmp/old.audio" "$tmp/new.audio"; then
    echo "same                  $f"
  else
    echo "DIFFERS               $f"
    status=1
  fi
  rm -f "$tmp/old.wav" "$tmp/new.wav" "$tmp/old.audio" "$tmp/new.audio"
done
exit $status
