#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the normal build, the
# library installed and built against through pkg-config, the build with
# AddressSanitizer and UndefinedBehaviorSanitizer, the threaded
# sound-output tests and parallel renders under ThreadSanitizer, the 32-bit
# ARM build under qemu-arm (without and with the NEON mixing loops), and a
# bounded fuzzing run of the loaders and the render loop.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
bash "$root/scripts/install-deps.sh"

section() { printf '\n==== %s ====\n' "$1"; }

section "normal build"
bash "$root/scripts/build.sh" "$root/build-test"
(cd "$root/build-test" && ctest --output-on-failure -j "$jobs")

section "libquavix installed and built against through pkg-config"
bash "$root/tests/player/c/installed_library_test.sh" "$root/build-test"

section "sanitizer build (address, undefined)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
bash "$root/scripts/build.sh" "$root/build-asan" -DQUAVIX_SANITIZE=ON -DQUAVIX_BENCH=OFF
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs")

section "sound outputs and parallel renders under ThreadSanitizer"
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
mkdir -p "$root/build-tsan"
if ! { cmake -S "$root" -B "$root/build-tsan" -DQUAVIX_TSAN=ON -DQUAVIX_BENCH=OFF &&
       cmake --build "$root/build-tsan" -j "$jobs" --target quavix_player_tests quavix_cli_tests quavix \
         quavix_two_threads_test; } \
     >"$root/build-tsan/build.log" 2>&1; then
  cat "$root/build-tsan/build.log" >&2
  echo "build of $root/build-tsan failed" >&2
  exit 1
fi
# The outputs' threads, players rendering side by side, quavix render -j,
# and two songs on two threads through the C interface.
(cd "$root/build-tsan" && ctest --output-on-failure -j "$jobs" \
  -R 'SdlOutput|OssOutput|OutputStress|ParallelPlayers|ParallelRenders|CApiTwoThreads')

section "armhf build under qemu-arm"
bash "$root/scripts/build.sh" "$root/build-armhf" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/armhf.cmake" \
  -DQUAVIX_ENGINE_ONLY=ON -DQUAVIX_BENCH=OFF
(cd "$root/build-armhf" && ctest --output-on-failure -j "$jobs")

section "armhf build with the NEON mixing loops under qemu-arm"
bash "$root/scripts/build.sh" "$root/build-armhf-neon" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/armhf.cmake" \
  -DQUAVIX_ENGINE_ONLY=ON -DQUAVIX_BENCH=OFF -DQUAVIX_NEON=ON
(cd "$root/build-armhf-neon" && ctest --output-on-failure -j "$jobs")

if [ -f "$root/fuzz/run.sh" ]; then
  section "fuzzing the loaders and the render loop (address, undefined)"
  CXX=clang++ bash "$root/scripts/build.sh" "$root/build-fuzz" -DQUAVIX_FUZZ=ON -DQUAVIX_TESTS=OFF \
    -DQUAVIX_BENCH=OFF -DQUAVIX_ENGINE_ONLY=ON
  bash "$root/fuzz/run.sh" "$root/build-fuzz" "${QUAVIX_FUZZ_SECONDS:-60}"
fi

section "all test runs passed"
