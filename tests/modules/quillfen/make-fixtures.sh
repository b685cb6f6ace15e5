#!/usr/bin/env bash
# Makes the DICOM test files with dcmtk and GDCM (tools no one here wrote) and
# their reference decodings. Usage: make-fixtures.sh OUTDIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
rm -rf "$out"; mkdir -p "$out"; cd "$out"
python3 "$here/qffix.py" make .
for f in ct16 mr12 g8 m1 rgb pal latin1 utf8; do dump2dcm -q "$f.dump" "$f.dcm"; done
(cd series && for f in a b c d; do dump2dcm -q "$f.dump" "$f.dcm"; done && rm -f ./*.dump ./*.raw)
# A plain picture turned into DICOM by img2dcm.
convert -size 40x30 gradient:red-blue -type TrueColor BMP3:pic.bmp
img2dcm -q -i BMP pic.bmp img2dcm.dcm

# manifest lines: encoded-file reference-file lossless(1|0)
: > manifest.txt
add() { [ -s "$1" ] && echo "$1 $2 $3" >> manifest.txt; }
for f in ct16 mr12 g8 rgb pal img2dcm; do
  dcmconv -q +ti "$f.dcm" "$f-implicit.dcm";  add "$f-implicit.dcm" "$f.dcm" 1
  dcmconv -q +te "$f.dcm" "$f-explicit.dcm";  add "$f-explicit.dcm" "$f.dcm" 1
  dcmconv -q +tb "$f.dcm" "$f-bigendian.dcm"; add "$f-bigendian.dcm" "$f.dcm" 1
  dcmconv -q +td "$f.dcm" "$f-deflated.dcm";  add "$f-deflated.dcm" "$f.dcm" 1
  # Compressed by dcmtk, decoded again by dcmtk for the reference.
  if dcmcjpeg -q +e1 "$f.dcm" "$f-jpegll.dcm" 2>/dev/null; then
    dcmdjpeg -q "$f-jpegll.dcm" "$f-jpegll-ref.dcm"; add "$f-jpegll.dcm" "$f-jpegll-ref.dcm" 1
  fi
  if dcmcrle -q "$f.dcm" "$f-rle.dcm" 2>/dev/null; then
    dcmdrle -q "$f-rle.dcm" "$f-rle-ref.dcm"; add "$f-rle.dcm" "$f-rle-ref.dcm" 1
  fi
  # Compressed by GDCM; JPEG-LS decoded by dcmtk, JPEG 2000 (lossless) against the original.
  if (gdcmconv --jpegls "$f.dcm" "$f-jpegls.dcm") 2>/dev/null; then
    dcmdjpls -q "$f-jpegls.dcm" "$f-jpegls-ref.dcm" 2>/dev/null && add "$f-jpegls.dcm" "$f-jpegls-ref.dcm" 1
  fi
  if (gdcmconv --j2k "$f.dcm" "$f-j2k.dcm") 2>/dev/null; then add "$f-j2k.dcm" "$f.dcm" 1; fi
done
# Lossy baseline JPEG of the 8-bit pictures; the reference is dcmtk's decoding.
for f in g8 rgb img2dcm; do
  dcmcjpeg -q +eb "$f.dcm" "$f-baseline.dcm"
  dcmdjpeg -q "$f-baseline.dcm" "$f-baseline-ref.dcm"; add "$f-baseline.dcm" "$f-baseline-ref.dcm" 0
done
# Rendered references from dcm2pnm: file window, min-max window, colour.
dcm2pnm -q +Wi 1 +F 2 ct16.dcm ct16-f2.pgm
dcm2pnm -q +Wm mr12.dcm mr12.pgm
dcm2pnm -q +Wm g8.dcm g8.pgm
dcm2pnm -q +Wm m1.dcm m1.pgm
dcm2pnm -q rgb.dcm rgb.ppm
dcm2pnm -q pal.dcm pal.ppm
dcm2pnm -q rgb-baseline-ref.dcm rgb-baseline.ppm
echo "fixtures: $(wc -l < manifest.txt) encoded files"
# Other medical formats; NRRD and MINC also from their own tools when present.
python3 "$here/qffix.py" formats formats
unu=$(command -v teem-unu || command -v unu || true)
if [ -n "$unu" ]; then
  "$unu" make -i formats/slices.raw -t short -s 20 12 3 -en big -e raw -o formats/unu.nrrd
  "$unu" make -i formats/slices.raw -t short -s 20 12 3 -en big -e gzip -o formats/unu-gz.nrrd
fi
if command -v rawtominc >/dev/null; then
  rawtominc -short -signed formats/rawtominc.mnc 3 12 20 < formats/slices-le.raw 2>/dev/null ||
    rm -f formats/rawtominc.mnc
fi
for f in formats/*.expected; do [ -e "${f%.expected}" ] || rm -f "$f"; done
