#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh DIR [cmake options...]
# The compiler's output is shown only when the build fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
mkdir -p "$dir"
if ! { cmake -S "$root" -B "$dir" "$@" && cmake --build "$dir" -j "$(nproc)"; } >"$dir/build.log" 2>&1; then
  cat "$dir/build.log" >&2
  echo "build of $dir failed" >&2
  exit 1
fi
echo "built $dir"
