#!/usr/bin/env bash
# Times `quavix render` against Debian's xmp as whole processes on module
# files, each rendering the song once through to its end at 44100 Hz, 16-bit
# stereo, linear interpolation, into a WAV file:
#   bench/render_vs_xmp.sh [--quavix PATH] [--runs N] FILE...
# Each player runs N times (3 by default) on each file and keeps its best run.
# Printed per file: the song's length, how many seconds of song each player
# renders per second of CPU time (user + system), how many times faster
# quavix is by CPU time and by wall-clock time, and each player's peak
# resident memory in MB. On a busy machine the CPU-time ratio is the steadier
# one. The last line sums all files.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
quavix=$root/build-release/cli/quavix
runs=3
while [ $# -gt 0 ]; do
  case $1 in
    --quavix) quavix=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) break ;;
  esac
done
command -v xmp >/dev/null || { echo "needs xmp: apt-get install xmp" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time: apt-get install time" >&2; exit 1; }
[ -x "$quavix" ] || { echo "no quavix at $quavix; build it or pass --quavix PATH" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Seconds of 16-bit stereo 44100 Hz audio in a WAV file (its data after the
# 44-byte header).
audio_seconds() { awk -v n="$(stat -c %s "$1")" 'BEGIN { print (n - 44) / 176400 }'; }

# best OUT COMMAND...: prints the command's best wall-clock and CPU seconds
# of $runs runs and its peak resident set in KB. A run of a short song takes
# a few milliseconds, below what the clock resolves, so each timed run
# repeats the command enough times to take a tenth of a second or more (as
# a first run measured it) and the figures are per command. The memory comes
# from a run of its own under time(1), which stays out of the timings.
best() {
  local out=$1 i j reps=1
  shift
  /usr/bin/time -f %M -o "$tmp/rss" "$@" >/dev/null 2>&1 || return 1
  { TIMEFORMAT='%3R %3U %3S'; time "$@" >/dev/null 2>&1; } 2>"$tmp/t" || return 1
  reps=$(awk '{ c = $2 + $3; r = (c < 0.001) ? 100 : int(0.1 / c) + 1; print (r > 100) ? 100 : r }' "$tmp/t")
  : >"$tmp/runs"
  for ((i = 0; i < runs; i++)); do
    # bash's own timing has millisecond resolution.
    { TIMEFORMAT='%3R %3U %3S'; time for ((j = 0; j < reps; j++)); do "$@" >/dev/null 2>&1 || return 1; done; } \
      2>"$tmp/t" || return 1
    echo "$(cat "$tmp/t")" >>"$tmp/runs"
  done
  awk -v n="$reps" -v m="$(cat "$tmp/rss")" '{ $1 /= n; $2 = ($2 + $3) / n }
       NR == 1 || $1 < w { w = $1 } NR == 1 || $2 < c { c = $2 }
       END { if (w < 0.0001) w = 0.0001; if (c < 0.0001) c = 0.0001; print w, c, m }' "$tmp/runs" >"$out"
}

results=$tmp/results
: >"$results"
printf '%-44s %8s %9s %9s %9s %9s %7s %7s\n' file song_s quavix_x xmp_x cpu_ratio wall_ratio q_MB xmp_MB
for f in "$@"; do
  best "$tmp/q" "$quavix" render "$f" -o "$tmp/q.wav" || { echo "$f: quavix failed" >&2; continue; }
  best "$tmp/x" xmp -q --nocmd -i linear -f 44100 -d wav -o "$tmp/x.wav" "$f" || { echo "$f: xmp failed" >&2; continue; }
  echo "$(basename "$f") $(audio_seconds "$tmp/q.wav") $(cat "$tmp/q") $(audio_seconds "$tmp/x.wav") $(cat "$tmp/x")" |
    tee -a "$results" |
    awk '{ printf "%-44s %8.1f %9.1f %9.1f %9.2f %9.2f %7.1f %7.1f\n", $1, $2, $2 / $4, $6 / $8, ($2 / $4) / ($6 / $8),
             ($2 / $3) / ($6 / $7), $5 / 1024, $9 / 1024 }'
done
# All files together: song seconds over CPU (and wall) seconds, for each player.
awk '{ qs += $2; qw += $3; qc += $4; xs += $6; xw += $7; xc += $8 }
     END { if (qc > 0 && xc > 0) printf "%-44s %8.1f %9.1f %9.1f %9.2f %9.2f\n", "all files", qs, qs / qc, xs / xc,
             (qs / qc) / (xs / xc), (qs / qw) / (xs / xw) }' "$results"
