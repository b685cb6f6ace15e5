#!/usr/bin/env bash
# HDF5's C library (for MINC 2), static, with its deflate filter over the MinGW
# zlib package. Its build runs programs it generates (type detection): they
# run under Wine. No tools, tests, examples, C++, Fortran or high-level library.
set -euo pipefail
. "$(dirname "$0")/common.sh"
have_stamp hdf5 hdf5 && exit 0
src=$(fetch_source hdf5)
zroot=/usr/$MINGW_HOST
b=$DEPS_CACHE/build/hdf5
rm -rf "$b"
export WINEPREFIX=$b/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# One configure program writes its answer into a file that, run under Wine,
# lands elsewhere: the answer for MinGW x86-64 (long double and __float128
# decimal digits) is put in place instead.
mkdir -p "$b"
printf '21;33;' > "$b/pac_Cconftest.out"
# MinGW has unistd.h but no sys/wait.h, which HDF5 includes with it (it waits
# for no process on Windows).
mkdir -p "$b/shim/sys"
: > "$b/shim/sys/wait.h"
cmake -S "$src" -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$MINGW_TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" \
  -DCMAKE_CROSSCOMPILING_EMULATOR=wine -DCMAKE_C_FLAGS="-I$b/shim" \
  -DBUILD_SHARED_LIBS=OFF -DONLY_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_TESTING=OFF \
  -DHDF5_BUILD_TOOLS=OFF -DHDF5_BUILD_EXAMPLES=OFF -DHDF5_BUILD_UTILS=OFF -DHDF5_BUILD_CPP_LIB=OFF \
  -DHDF5_BUILD_FORTRAN=OFF -DHDF5_BUILD_JAVA=OFF -DHDF5_BUILD_HL_LIB=OFF -DHDF5_ENABLE_PARALLEL=OFF \
  -DHDF5_ENABLE_THREADSAFE=OFF -DHDF5_ENABLE_SZIP_SUPPORT=OFF -DHDF5_ENABLE_Z_LIB_SUPPORT=ON \
  -DHDF5_BUILD_DOC=OFF -DHDF5_ENABLE_DEPRECATED_SYMBOLS=OFF \
  -DZLIB_INCLUDE_DIR="$zroot/include" -DZLIB_LIBRARY="$zroot/lib/libz.a" >"$b.configure.log" 2>&1
cmake --build "$b" -j "${DEPS_JOBS_BIG:-4}" --target hdf5-static >"$b.build.log" 2>&1
cmake --install "$b" --component libraries >/dev/null 2>&1 || true
cmake --install "$b" --component headers >/dev/null 2>&1 || true
[ -f "$DEPS_PREFIX/lib/libhdf5.a" ] || cp "$(find "$b" -name 'libhdf5*.a' | head -1)" "$DEPS_PREFIX/lib/libhdf5.a"
[ -f "$DEPS_PREFIX/include/hdf5.h" ]
rm -rf "$b" "$b.configure.log" "$b.build.log"
put_stamp hdf5 "$(basename "$(dirname "$src")")"
