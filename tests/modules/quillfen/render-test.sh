#!/usr/bin/env bash
# Frames written by the library match dcm2pnm's rendering of the same files.
set -uo pipefail
fx=$1 bin=$2 src=$3
. "$src/common-test.sh"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
check() { # file frame reference tolerance
  local names file
  names=$(run tobmp "$(w "$out")" r "$(w "$fx/$1")") || { bad "$1 not converted"; return; }
  file=$(echo "$names" | sed -n "$(($2 + 1))p")
  [ -n "$file" ] && python3 "$src/qffix.py" compare "$out/$file" "$fx/$3" "$4" && ok || bad "$1 frame $2"
}
check ct16.dcm 1 ct16-f2.pgm 1
check mr12.dcm 0 mr12.pgm 1
check mr12-j2k.dcm 0 mr12.pgm 1
check g8.dcm 0 g8.pgm 0
check m1.dcm 0 m1.pgm 0
check rgb.dcm 0 rgb.ppm 0
check rgb-rle.dcm 0 rgb.ppm 0
check pal.dcm 0 pal.ppm 0
check rgb-baseline.dcm 0 rgb-baseline.ppm 3
# Three frames of the CT file come out as three files.
n=$(run tobmp "$(w "$out")" n "$(w "$fx/ct16-jpegll.dcm")" | wc -l)
[ "$n" = 3 ] && ok || bad "ct16 gave $n frames"
finish
