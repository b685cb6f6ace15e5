#!/usr/bin/env bash
# libpng 1.6, static, against the MinGW zlib (libz-mingw-w64-dev), cross-built
# from Debian's source package for the Windows build.
set -euo pipefail
. "$(dirname "$0")/common.sh"
have_stamp libpng libpng1.6 && exit 0
exec 9>"$DEPS_CACHE/.lock-libpng"
flock 9
have_stamp libpng libpng1.6 && exit 0
src=$(fetch_source libpng1.6)
zroot=/usr/$MINGW_HOST
b=$DEPS_CACHE/build/libpng
rm -rf "$b"
cmake -S "$src" -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$MINGW_TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_INCLUDE_DIR="$zroot/include" -DZLIB_LIBRARY="$zroot/lib/libz.a" \
  -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON >/dev/null
cmake --build "$b" -j "${DEPS_JOBS_BIG:-4}" --target png_static >/dev/null
cmake --install "$b" >/dev/null
rm -rf "$b"
put_stamp libpng "$(basename "$(dirname "$src")")"
