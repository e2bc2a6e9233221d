#!/usr/bin/env bash
# The Quavix Player window, end to end, as a user drives it: quavix-player
# runs under a virtual X server (xvfb-run) with a home folder of its own,
# xdotool clicks its buttons and types into its file chooser, and SDL's
# "disk" audio driver writes the sound to a file.
#
#   run.sh PLAYER SONG_WRITER WINDOW_CLOSER ARTIFACT_DIR [CYCLES]
#
# PLAYER is quavix-player, SONG_WRITER writes the songs it is given, and
# WINDOW_CLOSER asks a window to close as a window manager would. Screenshots
# of the playing window, of the window after a file that is no song, of the
# about box and of the window without a sound device are kept in ARTIFACT_DIR. CYCLES (100) is the number of
# open/stop rounds of the robustness check.
#
# The window tells what a test cannot read off the screen through its probe
# file (QUAVIX_PLAYER_PROBE): "button ID X Y" (the centre of a button),
# "label TEXT" (the frame's label each time it is set), "status TEXT" (the
# status line under the frame each time it is set), "chooser FOLDER" (each
# folder the file chooser shows).
set -uo pipefail

if [ $# -lt 4 ]; then
  echo "usage: $0 PLAYER SONG_WRITER WINDOW_CLOSER ARTIFACT_DIR [CYCLES]" >&2
  exit 2
fi
player=$(readlink -f "$1") writer=$(readlink -f "$2") closer=$(readlink -f "$3")
artifacts=$(readlink -m "$4") cycles=${5:-100}

if [ -z "${QUAVIX_WINDOW_TEST_DISPLAY:-}" ]; then
  for tool in xvfb-run xdotool import; do
    if ! command -v "$tool" >/dev/null; then
      echo "$tool is missing: scripts/install-deps.sh installs it" >&2
      exit 1
    fi
  done
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    env QUAVIX_WINDOW_TEST_DISPLAY=1 bash "$0" "$@"
fi

work=$(mktemp -d /tmp/quavix-window-XXXXXX)
home=$work/home
music="$work/my music"
probe=$work/probe.txt
sound=$work/sound.raw
# A home folder as a desktop user has it, with the folder GTK keeps the
# recently used files in.
mkdir -p "$home/.local/share" "$music" "$artifacts"
"$writer" "$music" || exit 1

pid=
finish() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid"; fi
  rm -rf "$work"
}
trap finish EXIT

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}
same() { [ "$1" = "$2" ] || { echo "  got [$1], expected [$2]"; return 1; }; }
# Waits for a condition, at most the given number of seconds.
wait_for() {
  local limit=$1
  shift
  local end=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.05
  done
}
show_output() {
  local name
  for name in stdout stderr; do
    [ -s "$work/$name.txt" ] && echo "the window's $name:" && cat "$work/$name.txt"
  done
}
give_up() {
  echo "FAILED: $1"
  echo "probe file:" && cat "$probe"
  show_output
  import -window root "$artifacts/failure.png" 2>/dev/null
  exit 1
}

labels() { grep -c '^label ' "$probe"; }
label() { grep '^label ' "$probe" | tail -n 1 | cut -c 7-; }
label_is() { [ "$(label)" = "$1" ]; }
status() { grep '^status' "$probe" | tail -n 1 | cut -c 8-; }
more_labels_than() { [ "$(labels)" -gt "$1" ]; }
status_said() { [ -n "$(status)" ]; }
alive() { kill -0 "$pid" 2>/dev/null; }
dead() { ! alive; }
dialog() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -v "^$window\$" | head -n 1; }
dialog_open() { [ -n "$(dialog "$1")" ]; }
dialog_closed() { ! dialog_open "$1"; }

# Starts the window with the test's home folder and the given arguments, in
# the folder $start_in (the current one when unset), and waits until it shows.
# The sound goes to $sound through SDL's disk driver, unless $sdl_driver
# names another driver and $oss_device another OSS device.
start() {
  : >"$probe"
  (cd "${start_in:-.}" && HOME=$home QUAVIX_PLAYER_PROBE=$probe SDL_AUDIODRIVER=${sdl_driver:-disk} \
    SDL_DISKAUDIOFILE=$sound QUAVIX_OSS_DEVICE=${oss_device:-} \
    exec "$player" "$@") >>"$work/stdout.txt" 2>>"$work/stderr.txt" &
  pid=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name '^Quavix Player$' | head -n 1)
  [ -n "$window" ] || give_up "the window did not show"
  wait_for 20 grep -q '^button 3 ' "$probe" || give_up "the buttons were not laid out"
}

click() {  # click BUTTON_ID: 1 open, 2 stop, 3 about
  local x y
  read -r x y < <(grep "^button $1 " "$probe" | tail -n 1 | cut -d ' ' -f 3,4)
  # A synchronous move waits until the pointer has moved: it is first put
  # beside the spot, so that the move onto the button always moves it.
  xdotool mousemove --window "$window" $((x + 1)) "$y" mousemove --sync --window "$window" "$x" "$y" click 1
}

# Clicks Open and waits for the chooser; its window id goes to $chooser.
open_chooser() {
  click 1
  wait_for 20 dialog_open "Open track" || give_up "the file chooser did not open"
  chooser=$(dialog "Open track")
  xdotool windowfocus --sync "$chooser"
}

# Types a file name into the chooser's location entry and presses Enter;
# waits until the frame's label is set again. The entry completes names while
# they are typed, and an Enter that meets its completion list only closes the
# list: Enter is given again while the chooser stays open. It goes to the
# chooser's window alone, so that it never reaches the main window.
choose() {
  local before tries
  before=$(labels)
  xdotool key ctrl+l ctrl+a type --delay 2 "$1"
  for tries in 1 2 3 4 5; do
    xdotool key --window "$chooser" Return 2>/dev/null
    wait_for 4 more_labels_than "$before" && return
    dialog_open "Open track" || break
  done
  give_up "choosing $1 set no label"
}

# Opens a file through the chooser. The chooser of a window without a
# remembered folder starts among the recently used files, where it has no
# location entry: "from_home" first goes to the home folder.
open_file() {  # open_file PATH [from_home]
  open_chooser
  [ "${2:-}" = from_home ] && xdotool key alt+Home
  choose "$1"
}

stop_track() {
  local before
  before=$(labels)
  click 2
  wait_for 20 more_labels_than "$before" || give_up "Stop set no label"
}

# Closes the window as a window manager does and waits for the program to
# end; its exit status goes to $status.
close_window() {
  "$closer" "$window"
  wait_for 20 dead || give_up "the program did not end when its window closed"
  wait "$pid"
  status=$?
  pid=
}

# The captured sound holds at least 4096 bytes that are not zero (a paused
# device writes zeros): the song is heard, not silence and not a click.
sound_heard() { [ "$(LC_ALL=C tr -d '\000' <"$sound" 2>/dev/null | head -c 4096 | wc -c)" -eq 4096 ]; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status"; }

title="Quavix Window Song"

echo "== first start: a fresh home folder"
start
check "the window starts with \"No track loaded\"" same "$(label)" "No track loaded"
check "the settings folder is made" test -d "$home/.quavixplayer"

open_file "$music/titled.xm" from_home
check "a chosen song shows its title" same "$(label)" "$title"
check "the sound reaches the disk file and is not silence" wait_for 30 sound_heard
import -window "$window" "$artifacts/playing.png"

open_chooser
before=$(labels)
xdotool key Escape
wait_for 20 dialog_closed "Open track" || give_up "Escape did not close the chooser"
check "cancelling the chooser keeps the song" same "$(labels)/$(label)" "$before/$title"

click 3
wait_for 20 dialog_open "Quavix Player" || give_up "the about box did not open"
import -window root "$artifacts/about.png"
xdotool windowfocus --sync "$(dialog "Quavix Player")"
xdotool key Return
check "the about box closes with OK" wait_for 20 dialog_closed "Quavix Player"

stop_track
check "Stop returns the label to \"No track loaded\"" same "$(label)" "No track loaded"
# A second Stop, without a player, does nothing: the next label comes from
# the open that follows it.
before=$(labels)
click 2
open_file "$music/notes.txt"
check "Stop without a song sets no label" same "$(labels)" "$((before + 1))"
check "a file that is not a module gives \"No track loaded\"" same "$(label)" "No track loaded"
check "the status line under the frame says why" \
  same "$(status)" "notes.txt: not a module file (not an Extended Module, pattern-format, Scream Tracker 3 or Impulse Tracker file)"
import -window "$window" "$artifacts/not-a-module.png"

open_file "$music/titled.xm"
check "a song opens again after a failed one" same "$(label)" "$title"
check "a song that plays clears the status line" same "$(status)" ""
close_window
check "closing the window while a song plays ends the program with 0" same "$status" 0
check "closing the window remembers the song's folder" \
  same "$(cat "$home/.quavixplayer/lastpath" 2>&1)" "$music/"
check "the remembered folder ends with a line feed" \
  same "$(tail -c 1 "$home/.quavixplayer/lastpath" | od -An -c | tr -d ' ')" '\n'

echo "== second start: the remembered folder"
start
open_chooser
check "the chooser starts in the remembered folder" \
  same "$(grep '^chooser ' "$probe" | head -n 1 | cut -c 9-)" "$music"
choose "blank.xm"  # a bare name is taken from the folder the chooser shows
check "a song with a blank title shows its file name" same "$(label)" "blank.xm"
stop_track

echo "== $cycles open/stop rounds"
for ((round = 1; round <= cycles; round++)); do
  open_file titled.xm  # in the remembered folder
  [ "$(label)" = "$title" ] || give_up "round $round: the song did not open"
  alive || give_up "round $round: the program ended"
  stop_track
  [ "$(label)" = "No track loaded" ] || give_up "round $round: Stop left [$(label)]"
  # Memory is measured once the chooser and the player have been through a
  # few rounds, and again at the end.
  [ $round -eq 10 ] && early=$(rss_kib)
done
late=$(rss_kib)
echo "  resident memory after round 10: ${early:-?} KiB, after round $cycles: $late KiB"
# A player that outlived its round would leave at least its filter table
# (192 KiB) and buffers behind: 90 lost players are over 17 MiB.
check "$cycles open/stop rounds leave memory flat" test $((late - ${early:-$late})) -lt 4096
close_window
check "the window closes with 0 after the rounds" same "$status" 0

echo "== a song given on the command line, as a desktop gives it"
: >"$home/.quavixplayer/lastpath"
start_in=$music start blank.xm  # a name relative to the folder it starts in
check "a song given when starting plays at once" wait_for 20 label_is "blank.xm"
close_window
check "its folder is remembered" same "$(cat "$home/.quavixplayer/lastpath" 2>&1)" "$music/"

echo "== a blank remembered folder"
printf '   \n' >"$home/.quavixplayer/lastpath"
start
close_window
check "quitting with a blank folder deletes \"lastpath\"" test ! -e "$home/.quavixplayer/lastpath"

echo "== no sound device"
# ALSA without a configuration has no device at all, on any machine; nor has
# an OSS device path that does not exist.
: >"$work/stderr.txt"
ALSA_CONFIG_PATH=/dev/null sdl_driver=alsa oss_device=$work/no-dsp start "$music/titled.xm"
check "a song given without a sound device sets the status line" wait_for 20 status_said
check "the status line names what failed" \
  same "$(status)" "no sound device could be opened: SDL audio: No available audio device; $work/no-dsp: No such file or directory"
check "the frame does not claim the song plays" same "$(label)" "No track loaded"
import -window "$window" "$artifacts/no-sound-device.png"
check "ALSA's own lines are not printed" same "$(grep -c 'ALSA lib' "$work/stderr.txt")" 0
close_window
check "the window without a sound device closes with 0" same "$status" 0

echo "== a settings folder that cannot be made"
for bad in "$work/missing/home" "$work/blocked"; do
  [ "$bad" = "$work/blocked" ] && mkdir -p "$bad" && : >"$bad/.quavixplayer"
  out=$(HOME=$bad QUAVIX_PLAYER_PROBE=$probe "$player" 2>/dev/null)
  code=$?
  check "HOME=$bad: the message and exit code 1" \
    same "$code:$out" "1:ERROR: Couldn't create $bad/.quavixplayer"
done

if [ $failures -ne 0 ]; then
  show_output
  echo "$failures checks failed"
  exit 1
fi
echo "all window checks passed; screenshots in $artifacts"
