#!/usr/bin/env bash
# Installs what is missing, builds Quavix Player, describes the bundled song
# and renders it to a WAV file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build-release" -DCMAKE_BUILD_TYPE=Release -DQUAVIX_TESTS=OFF -DQUAVIX_BENCH=OFF
"$root/build-release/cli/quavix" info "$root/songs/quavix-default.xm"
"$root/build-release/cli/quavix" render "$root/songs/quavix-default.xm" -o "$root/quavix-default.wav"
echo
echo "The bundled song, rendered: $root/quavix-default.wav"
