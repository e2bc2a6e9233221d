#!/usr/bin/env bash
# Times `quavix render` against Debian's xmp as whole processes on module
# files, each rendering the song once through to its end at 44100 Hz, 16-bit
# stereo, linear interpolation, and prints how many seconds of song each
# renders per second of wall-clock time:
#   bench/render_vs_xmp.sh [--quavix PATH] FILE...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
quavix=$root/build-release/cli/quavix
if [ "${1:-}" = "--quavix" ]; then
  quavix=$2
  shift 2
fi
command -v xmp >/dev/null || { echo "needs xmp: apt-get install xmp" >&2; exit 1; }
[ -x "$quavix" ] || { echo "no quavix at $quavix; build it or pass --quavix PATH" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

now() { date +%s.%N; }
# Seconds of 16-bit stereo 44100 Hz audio in a WAV file (its data after the
# 44-byte header).
audio_seconds() { awk -v n="$(stat -c %s "$1")" 'BEGIN { print (n - 44) / 176400 }'; }

results=$tmp/results
: >"$results"
printf '%-44s %8s %10s %10s %8s\n' file song_s quavix_x xmp_x ratio
for f in "$@"; do
  t0=$(now)
  "$quavix" render "$f" -o "$tmp/q.wav" 2>/dev/null || { echo "$f: quavix failed" >&2; continue; }
  t1=$(now)
  xmp -q --nocmd -i linear -f 44100 -d wav -o "$tmp/x.wav" "$f" >/dev/null 2>&1 || { echo "$f: xmp failed" >&2; continue; }
  t2=$(now)
  echo "$(basename "$f") $(audio_seconds "$tmp/q.wav") $t0 $t1 $(audio_seconds "$tmp/x.wav") $t2" | tee -a "$results" |
    awk '{ q = $2 / ($4 - $3); x = $5 / ($6 - $4); printf "%-44s %8.1f %10.1f %10.1f %8.2f\n", $1, $2, q, x, q / x }'
done
# All files together: song seconds over wall seconds, for each player.
awk '{ qs += $2; qt += $4 - $3; xs += $5; xt += $6 - $4 }
     END { if (qt > 0 && xt > 0) printf "%-44s %8.1f %10.1f %10.1f %8.2f\n", "all files", qs, qs / qt, xs / xt, (qs / qt) / (xs / xt) }' "$results"
