#!/usr/bin/env bash
# pugixml, static, for reading the update information.
set -euo pipefail
. "$(dirname "$0")/common.sh"
have_stamp pugixml pugixml && exit 0
src=$(fetch_source pugixml)
b=$DEPS_CACHE/build/pugixml
rm -rf "$b"
cmake -S "$src" -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$MINGW_TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" -DBUILD_SHARED_LIBS=OFF -DPUGIXML_BUILD_TESTS=OFF >/dev/null
cmake --build "$b" -j "$DEPS_JOBS" >/dev/null
cmake --install "$b" >/dev/null
rm -rf "$b"
put_stamp pugixml "$(basename "$(dirname "$src")")"
