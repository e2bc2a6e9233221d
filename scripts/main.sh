#!/usr/bin/env bash
# Installs what is missing, builds Quavix Player, describes the bundled song
# and plays it where a sound device can be opened, or renders it to a WAV
# file where none can.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build-release" -DCMAKE_BUILD_TYPE=Release -DQUAVIX_TESTS=OFF -DQUAVIX_BENCH=OFF
"$root/build-release/cli/quavix" info "$root/songs/quavix-default.xm"
if "$root/build-release/cli/quavix" play "$root/songs/quavix-default.xm"; then
  exit 0
fi
echo "No sound device here: rendering the song to a file instead."
"$root/build-release/cli/quavix" render "$root/songs/quavix-default.xm" -o "$root/quavix-default.wav"
echo
echo "The bundled song, rendered: $root/quavix-default.wav"
