#!/usr/bin/env bash
# teem's nrrd library with what it needs (air, biff, hest), static, with gzip
# (MinGW zlib package) and bzip2 (cross-built here from Debian's bzip2 source,
# library only). Only these four of teem's libraries are compiled: none of its
# tools, tests or other libraries.
set -euo pipefail
. "$(dirname "$0")/common.sh"
have_stamp teem teem && have_stamp bzip2 bzip2 && have_stamp teem-bounded-messages && exit 0
b=$DEPS_CACHE/build/teem
rm -rf "$b"
mkdir -p "$b" "$DEPS_PREFIX/include/teem" "$DEPS_PREFIX/lib"

if ! have_stamp bzip2 bzip2; then
  bz=$(fetch_source bzip2)
  mkdir -p "$b/bz"
  for f in blocksort huffman crctable randtable compress decompress bzlib; do
    $MINGW_HOST-gcc-posix -O2 -D_FILE_OFFSET_BITS=64 -c "$bz/$f.c" -o "$b/bz/$f.o"
  done
  $MINGW_HOST-ar rcs "$DEPS_PREFIX/lib/libbz2.a" "$b"/bz/*.o
  cp "$bz/bzlib.h" "$DEPS_PREFIX/include/"
  put_stamp bzip2 "$(basename "$(dirname "$bz")")"
fi

src=$(fetch_source teem)
# biff formats its messages with vsprintf into a 1 KiB stack buffer, and a
# header's field value goes into the message it makes of a value it cannot
# read: a long one overran the stack. The messages are cut at the buffer.
sed -i 's/vsprintf(errstr, errfmt, args)/vsnprintf(errstr, sizeof errstr, errfmt, args)/' "$src/src/biff/biffmsg.c"
grep -q 'vsprintf(errstr' "$src/src/biff/biffmsg.c" && { echo "teem: biff's messages are still unbounded" >&2; exit 1; }
# The library's own build runs programs at configure time and builds every
# library; a small project of the four does without.
cat > "$b/CMakeLists.txt" <<CM
cmake_minimum_required(VERSION 3.13)
project(teem_nrrd C)
set(T "$src/src")
# Each library's list of sources, without the library it would make.
macro(ADD_TEEM_LIBRARY name)
endmacro()
foreach(lib air biff hest nrrd)
  string(TOUPPER \${lib} L)
  include(\${T}/\${lib}/sources.cmake)
  foreach(s \${\${L}_SOURCES})
    if(s MATCHES "\\\\.c\$")
      list(APPEND sources \${T}/\${lib}/\${s})
    endif()
  endforeach()
endforeach()
add_library(teem STATIC \${sources})
target_include_directories(teem PRIVATE "$b/include" "$src/include" \${T}/air \${T}/biff \${T}/hest \${T}/nrrd
                           "$DEPS_PREFIX/include" "/usr/$MINGW_HOST/include")
# x86: the 22nd bit of a quiet NaN is 1.
target_compile_definitions(teem PRIVATE TEEM_STATIC TEEM_ZLIB=1 TEEM_BZIP2=1 TEEM_QNANHIBIT=1 TEEM_DIO=0)
CM
mkdir -p "$b/include/teem"
for h in air/air.h biff/biff.h hest/hest.h nrrd/nrrd.h nrrd/nrrdDefines.h nrrd/nrrdMacros.h nrrd/nrrdEnums.h; do
  cp "$src/src/$h" "$b/include/teem/"
done
printf '#ifndef airExistsConf_h\n#define airExistsConf_h\n#endif\n' > "$b/include/teem/airExistsConf.h"
cmake -S "$b" -B "$b/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$MINGW_TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=Release >"$b/configure.log"
cmake --build "$b/build" -j "${DEPS_JOBS_BIG:-4}" >"$b/build.log"
cp "$b/build/libteem.a" "$DEPS_PREFIX/lib/"
cp "$b"/include/teem/*.h "$DEPS_PREFIX/include/teem/"
rm -rf "$b"
put_stamp teem "$(basename "$(dirname "$src")")"
put_stamp teem-bounded-messages yes
