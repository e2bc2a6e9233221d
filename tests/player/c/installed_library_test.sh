#!/usr/bin/env bash
# libquavix as another program gets it: installs the library of the build
# BUILD (made with the command-line tool) into a scratch prefix, builds the
# C tests and the example against it through pkg-config with the C compiler
# (C99, warnings as errors), and runs the tests on the bundled song against
# renders of `quavix render`. Also checks that the shared library exports
# quavix_* alone.
#   tests/player/c/installed_library_test.sh BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "$1" && pwd)
here="$root/tests/player/c"
song="$root/songs/quavix-default.xm"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix="$scratch/prefix"

cmake --install "$build" --prefix "$prefix" --component library >/dev/null
pc=$(find "$prefix" -name quavix.pc)
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$pc")
libdir=$(pkg-config --variable=libdir quavix)
echo "pkg-config --cflags --libs quavix: $(pkg-config --cflags --libs quavix)"

# Only the C interface leaves the shared library.
others=$(nm -D --defined-only "$libdir/libquavix.so" | awk '$3 !~ /^quavix_/' || true)
if [ -n "$others" ]; then
  echo "libquavix.so exports more than quavix_*:" >&2
  echo "$others" >&2
  exit 1
fi

cc=${CC:-gcc}
flags=(-std=c99 -Wall -Wextra -Werror)
# shellcheck disable=SC2046
"$cc" "${flags[@]}" "$here/c_api_test.c" $(pkg-config --cflags --libs quavix) -o "$scratch/c_api_test"
# shellcheck disable=SC2046
"$cc" "${flags[@]}" -pthread "$here/two_threads_test.c" $(pkg-config --cflags --libs quavix) -o "$scratch/two_threads_test"
# The static library, with what it needs itself.
# shellcheck disable=SC2046
"$cc" "${flags[@]}" "$here/core_calls_test.c" $(pkg-config --cflags quavix) "$libdir/libquavix.a" \
  $(pkg-config --static --libs-only-l quavix | sed 's/-lquavix//') -o "$scratch/core_calls_static"
# shellcheck disable=SC2046
"$cc" "${flags[@]}" "$here/core_calls_test.c" $(pkg-config --cflags --libs quavix) -o "$scratch/core_calls_test"
# The example, with SDL 1.2.
# shellcheck disable=SC2046
"$cc" "${flags[@]}" "$root/examples/sdl_play.c" $(pkg-config --cflags --libs quavix sdl) -o "$scratch/sdl_play"

"$build/cli/quavix" render "$song" -o "$scratch/reference.wav" 2>/dev/null
"$build/cli/quavix" render --rate 8000 --repeat 1 "$song" -o "$scratch/repeat1_8000.wav" 2>/dev/null
export LD_LIBRARY_PATH="$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
"$scratch/core_calls_test" "$song" "$scratch/reference.wav"
"$scratch/core_calls_static" "$song" "$scratch/reference.wav"
"$scratch/c_api_test" "$song" "$scratch/reference.wav" "$scratch/repeat1_8000.wav"
"$scratch/two_threads_test" "$song"
# The example plays (SDL's dummy driver stands in for a sound device): still
# playing after 2 seconds, it is stopped (timeout's status 124).
status=0
SDL_AUDIODRIVER=dummy timeout 2 "$scratch/sdl_play" "$song" >/dev/null || status=$?
if [ "$status" -ne 124 ]; then
  echo "the example did not play (exit status $status)" >&2
  exit 1
fi
echo "libquavix installed, built against through pkg-config and tested"
