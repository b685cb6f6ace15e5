#!/usr/bin/env bash
# JsonCpp, static, for reading the probe's reports.
set -euo pipefail
. "$(dirname "$0")/common.sh"
have_stamp jsoncpp libjsoncpp && exit 0
src=$(fetch_source libjsoncpp)
b=$DEPS_CACHE/build/jsoncpp
rm -rf "$b"
cmake -S "$src" -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$MINGW_TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON \
  -DBUILD_OBJECT_LIBS=OFF -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
  -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DJSONCPP_WITH_CMAKE_PACKAGE=ON >/dev/null
cmake --build "$b" -j "$DEPS_JOBS" >/dev/null
cmake --install "$b" >/dev/null
rm -rf "$b"
put_stamp jsoncpp "$(basename "$(dirname "$src")")"
