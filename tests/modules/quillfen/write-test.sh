#!/usr/bin/env bash
# DICOM files written by the library pass dciodvfy and read back through
# dcmtk and GDCM to the pixels of the picture they came from.
set -uo pipefail
fx=$1 bin=$2 src=$3
. "$src/common-test.sh"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
convert -size 67x45 gradient:black-white -type Grayscale -colors 256 BMP3:"$out/grey.bmp"
convert -seed 7 -size 67x45 plasma:fractal -type TrueColor BMP3:"$out/colour.bmp"
# ImageMagick's decoding of the pictures is the reference.
convert "$out/grey.bmp" -depth 8 "$out/grey-ref.pgm"
convert "$out/colour.bmp" -depth 8 "$out/colour-ref.ppm"
refs=(grey-ref.pgm colour-ref.ppm)
i=0
for pic in grey colour; do
  ref=$out/${refs[$i]}; i=$((i + 1))
  dcm="$out/$pic frame.dcm"
  name=$(run todicom "$(w "$out/$pic.bmp")" "$(w "$dcm")") || { bad "$pic not written"; continue; }
  [ "$name" = "$pic frame.dcm" ] && ok || bad "$pic listed as '$name'"
  errors=$(dciodvfy "$dcm" 2>&1 | grep -c '^Error')
  [ "$errors" = 0 ] && ok || { bad "$pic: dciodvfy errors"; dciodvfy "$dcm" 2>&1 | grep '^Error'; }
  dcmdump -q "$dcm" > "$out/dump.txt" && grep -q 'FileMetaInformationGroupLength' "$out/dump.txt" &&
    grep -q '=LittleEndianExplicit' "$out/dump.txt" && grep -q '=SecondaryCaptureImageStorage' "$out/dump.txt" &&
    ok || bad "$pic: dcmdump"
  dcm2pnm -q "$dcm" "$out/$pic.pnm" && python3 "$src/qffix.py" compare "$ref" "$out/$pic.pnm" 0 &&
    ok || bad "$pic: dcmtk pixels"
  gdcmraw -i "$dcm" -o "$out/$pic.raw" && python3 "$src/qffix.py" compare-raw "$ref" "$out/$pic.raw" &&
    ok || bad "$pic: GDCM pixels"
done
# Two writes give two different instances.
run todicom "$(w "$out/grey.bmp")" "$(w "$out/second.dcm")" >/dev/null
a=$(dcmdump -q +P 0008,0018 "$out/grey frame.dcm"); b=$(dcmdump -q +P 0008,0018 "$out/second.dcm")
[ -n "$a" ] && [ "$a" != "$b" ] && ok || bad "instance UIDs not fresh"
# Failures leave nothing behind and keep what was there.
before=$(ls "$out" | sort)
run todicom "$(w "$out/missing.bmp")" "$(w "$out/failed.dcm")" >/dev/null && bad "missing input accepted" || ok
head -c 100 "$out/grey.bmp" > "$out/cut.bmp"
cp "$out/second.dcm" "$out/keep.dcm"
run todicom "$(w "$out/cut.bmp")" "$(w "$out/keep.dcm")" >/dev/null && bad "cut input accepted" || ok
cmp -s "$out/second.dcm" "$out/keep.dcm" && ok || bad "failed write changed the existing file"
run todicom "$(w "$out/grey.bmp")" "$(w "$out/none/x.dcm")" >/dev/null && bad "missing folder accepted" || ok
after=$(ls "$out" | grep -v -e '^cut.bmp$' -e '^keep.dcm$' | sort)
[ "$before" = "$after" ] && ok || bad "files left behind: $(diff <(echo "$before") <(echo "$after"))"
finish
