#!/usr/bin/env bash
# libjpeg-turbo with the libjpeg v8 interface, static, SIMD through nasm,
# cross-built from Debian's source package for the Windows build.
set -euo pipefail
. "$(dirname "$0")/common.sh"
have_stamp libjpeg-turbo libjpeg-turbo && exit 0
exec 9>"$DEPS_CACHE/.lock-libjpeg-turbo"
flock 9
have_stamp libjpeg-turbo libjpeg-turbo && exit 0
src=$(fetch_source libjpeg-turbo)
b=$DEPS_CACHE/build/libjpeg-turbo
rm -rf "$b"
cmake -S "$src" -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$MINGW_TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" \
  -DCMAKE_SYSTEM_PROCESSOR=AMD64 -DCMAKE_ASM_NASM_COMPILER=nasm \
  -DWITH_JPEG8=1 -DWITH_SIMD=1 -DWITH_TURBOJPEG=0 -DWITH_JAVA=0 \
  -DENABLE_SHARED=0 -DENABLE_STATIC=1 -DREQUIRE_SIMD=1 >/dev/null
cmake --build "$b" -j "${DEPS_JOBS_BIG:-4}" >/dev/null
cmake --install "$b" >/dev/null
rm -rf "$b"
put_stamp libjpeg-turbo "$(basename "$(dirname "$src")")"
