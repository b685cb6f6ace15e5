#!/usr/bin/env bash
# libtiff, static, with zlib (MinGW zlib package) and JPEG (the libjpeg-turbo
# built above) compression, cross-built from Debian's source package for the
# image library. No tools, tests or other codecs.
set -euo pipefail
. "$(dirname "$0")/common.sh"
have_stamp libtiff tiff && exit 0
exec 9>"$DEPS_CACHE/.lock-libtiff"
flock 9
have_stamp libtiff tiff && exit 0
src=$(fetch_source tiff)
zroot=/usr/$MINGW_HOST
b=$DEPS_CACHE/build/libtiff
rm -rf "$b"
cmake -S "$src" -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$MINGW_TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" \
  -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
  -Dcxx=OFF -Dzlib=ON -Djpeg=ON -Dold-jpeg=OFF -Djpeg12=OFF -Dpixarlog=ON -Dlzma=OFF -Dzstd=OFF \
  -Dwebp=OFF -Djbig=OFF -Dlerc=OFF -Dlibdeflate=OFF -Dstrip-chopping=ON \
  -DZLIB_INCLUDE_DIR="$zroot/include" -DZLIB_LIBRARY="$zroot/lib/libz.a" \
  -DJPEG_INCLUDE_DIR="$DEPS_PREFIX/include" -DJPEG_LIBRARY="$DEPS_PREFIX/lib/libjpeg.a" >"$b.configure.log"
cmake --build "$b" -j "${DEPS_JOBS_BIG:-4}" --target tiff >/dev/null
cmake --install "$b" >/dev/null
rm -rf "$b" "$b.configure.log"
put_stamp libtiff "$(basename "$(dirname "$src")")"
