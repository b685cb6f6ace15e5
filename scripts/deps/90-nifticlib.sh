#!/usr/bin/env bash
# nifticlib (NIfTI-1, NIfTI-2 and Analyze 7.5 through its NIfTI-2 library and
# znzlib), static, with zlib from the MinGW zlib package. Libraries only.
set -euo pipefail
. "$(dirname "$0")/common.sh"
have_stamp nifticlib nifticlib && exit 0
src=$(fetch_source nifticlib)
zroot=/usr/$MINGW_HOST
b=$DEPS_CACHE/build/nifticlib
rm -rf "$b"
cmake -S "$src" -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$MINGW_TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" -DBUILD_SHARED_LIBS=OFF \
  -DNIFTI_BUILD_APPLICATIONS=OFF -DBUILD_TESTING=OFF -DNIFTI_BUILD_TESTING=OFF -DUSE_NIFTICDF_CODE=OFF \
  -DUSE_NIFTI2_CODE=ON -DUSE_CIFTI_CODE=OFF -DUSE_FSL_CODE=OFF -DNIFTI_INSTALL_NO_DOCS=ON \
  -DZLIB_INCLUDE_DIR="$zroot/include" -DZLIB_LIBRARY="$zroot/lib/libz.a" >"$b.configure.log"
cmake --build "$b" -j "${DEPS_JOBS_BIG:-4}" --target znz nifti2 >/dev/null
# The two libraries and their headers, by hand: the project installs its tools too.
mkdir -p "$DEPS_PREFIX/include/nifti" "$DEPS_PREFIX/lib"
cp "$src"/znzlib/znzlib.h "$src"/nifti2/nifti1.h "$src"/nifti2/nifti2.h "$src"/nifti2/nifti2_io.h \
  "$DEPS_PREFIX/include/nifti/"
find "$b" \( -name 'libznz.a' -o -name 'libnifti2.a' \) -exec cp {} "$DEPS_PREFIX/lib/" \;
[ -f "$DEPS_PREFIX/lib/libnifti2.a" ] && [ -f "$DEPS_PREFIX/lib/libznz.a" ]
rm -rf "$b" "$b.configure.log"
put_stamp nifticlib "$(basename "$(dirname "$src")")"
