#!/usr/bin/env bash
# GDCM (DICOM reading, decoding and writing) with its bundled codecs: JPEG
# 8/12/16-bit with lossless, OpenJPEG, CharLS, RLE. Static, for MinGW, zlib
# from the MinGW zlib package.
set -euo pipefail
. "$(dirname "$0")/common.sh"
have_stamp gdcm gdcm && exit 0
src=$(fetch_source gdcm)
b=$DEPS_CACHE/build/gdcm
rm -rf "$b"
mkdir -p "$b/shim"
# MinGW has no iconv; the one reader that wants it gets a stand-in whose
# conversions fail cleanly.
cat > "$b/shim/iconv.h" <<'H'
#ifndef SHIM_ICONV_H
#define SHIM_ICONV_H
#include <stddef.h>
#include <errno.h>
typedef void *iconv_t;
static inline iconv_t iconv_open(const char *to, const char *from)
{ (void)to; (void)from; errno = EINVAL; return (iconv_t)-1; }
static inline size_t iconv(iconv_t cd, char **in, size_t *inleft, char **out, size_t *outleft)
{ (void)cd; (void)in; (void)inleft; (void)out; (void)outleft; errno = EBADF; return (size_t)-1; }
static inline int iconv_close(iconv_t cd) { (void)cd; return 0; }
#endif
H
cmake -S "$src" -B "$b/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$MINGW_TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" \
  -DCMAKE_C_FLAGS="-I$b/shim" -DCMAKE_CXX_FLAGS="-I$b/shim" \
  -DGDCM_BUILD_SHARED_LIBS=OFF -DGDCM_BUILD_TESTING=OFF -DGDCM_BUILD_EXAMPLES=OFF \
  -DGDCM_BUILD_APPLICATIONS=OFF -DGDCM_DOCUMENTATION=OFF -DGDCM_WRAP_PYTHON=OFF \
  -DGDCM_WRAP_JAVA=OFF -DGDCM_WRAP_CSHARP=OFF -DGDCM_WRAP_PHP=OFF -DGDCM_WRAP_PERL=OFF \
  -DGDCM_USE_VTK=OFF -DGDCM_USE_SYSTEM_ZLIB=ON -DZLIB_LIBRARY=/usr/$MINGW_HOST/lib/libz.a \
  -DZLIB_INCLUDE_DIR=/usr/$MINGW_HOST/include -DGDCM_USE_SYSTEM_OPENSSL=OFF \
  -DGDCM_USE_JPEGLS=ON -DGDCM_BUILD_DOCBOOK_MANPAGES=OFF -DBUILD_TESTING=OFF >"$b/configure.log"
cmake --build "$b/build" -j "${GDCM_JOBS:-4}" >"$b/build.log"
cmake --install "$b/build" >/dev/null
rm -rf "$b"
put_stamp gdcm "$(basename "$(dirname "$src")")"
