#!/usr/bin/env bash
# Installs what is missing, builds Quavix Player and describes the bundled song.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build-release" -DCMAKE_BUILD_TYPE=Release -DQUAVIX_TESTS=OFF -DQUAVIX_BENCH=OFF
"$root/build-release/cli/quavix" info "$root/songs/quavix-default.xm"
