#!/usr/bin/env bash
# x264 (H.264 encoder library) for the encoder module, static, with its assembly.
set -euo pipefail
. "$(dirname "$0")/common.sh"
have_stamp x264 x264 && exit 0
src=$(fetch_source x264)
b=$DEPS_CACHE/build/x264
rm -rf "$b"; cp -a "$src" "$b"
cd "$b"
CC=$MINGW_HOST-gcc-posix AS=nasm ./configure \
  --host=$MINGW_HOST --cross-prefix=$MINGW_HOST- --prefix="$DEPS_PREFIX" \
  --enable-static --disable-cli --disable-opencl --disable-avs --disable-swscale \
  --disable-lavf --disable-ffms --disable-gpac --disable-lsmash --bit-depth=8 \
  --enable-win32thread --enable-strip >/dev/null
make -j "$DEPS_JOBS" >build.log 2>&1 || { tail -30 build.log >&2; exit 1; }
make install-lib-static >/dev/null
cd /; rm -rf "$b"
put_stamp x264 "$(basename "$(dirname "$src")")"
