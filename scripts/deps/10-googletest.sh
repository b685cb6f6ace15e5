#!/usr/bin/env bash
# GoogleTest and GoogleMock for the Windows tests, from Debian's sources in /usr/src.
set -euo pipefail
. "$(dirname "$0")/common.sh"
ver=$(dpkg-query -W -f='${Version}' googletest)
have_stamp googletest && [ "$(cat "$DEPS_PREFIX/.stamps/googletest")" = "googletest-$ver" ] && exit 0
b=$DEPS_CACHE/build/googletest
rm -rf "$b"
cmake -S /usr/src/googletest -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$MINGW_TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" -Dgtest_disable_pthreads=OFF \
  -DCMAKE_EXE_LINKER_FLAGS=-static >/dev/null
cmake --build "$b" -j "$DEPS_JOBS" >/dev/null
cmake --install "$b" >/dev/null
rm -rf "$b"
put_stamp googletest "googletest-$ver"
