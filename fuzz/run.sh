#!/usr/bin/env bash
# A bounded fuzzing run of the loaders and the render loop: fuzz/run.sh BUILD_DIR [SECONDS]
# BUILD_DIR is a tree configured with -DQUAVIX_FUZZ=ON and built. The seed
# corpus is written afresh with the module writer; the fixed seed makes a run
# repeatable. A crash or a sanitizer report fails the run and leaves the input
# in BUILD_DIR/fuzz-artifacts/.
set -euo pipefail
build=$1
seconds=${2:-60}
seeds="$build/fuzz-seeds"
corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
rm -rf "$seeds" "$corpus"
mkdir -p "$seeds" "$corpus" "$artifacts"
"$build/fuzz/quavix_fuzz_seeds" "$seeds"
log="$build/fuzz.log"
status=0
"$build/fuzz/quavix_load_fuzzer" -seed=20261208 -max_total_time="$seconds" -timeout=20 \
  -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$seeds" >"$log" 2>&1 ||
  status=$?
if [ "$status" -ne 0 ]; then
  tail -n 60 "$log" >&2
  echo "fuzzing found a problem (exit $status); inputs in $artifacts" >&2
  exit 1
fi
grep -E '^stat::number_of_executed_units' "$log" || true
echo "fuzzing: no problem found in $seconds s"
