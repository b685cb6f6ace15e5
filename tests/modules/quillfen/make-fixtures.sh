#!/usr/bin/env bash
# Makes the DICOM test files with dcmtk and GDCM (tools no one here wrote) and
# their reference decodings. Usage: make-fixtures.sh OUTDIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
rm -rf "$out"; mkdir -p "$out"; cd "$out"
python3 "$here/qffix.py" make .
for f in ct16 mr12 g8 m1 rgb pal latin1 utf8 dose rgb16 rgb32 ybr422 icon; do dump2dcm -q "$f.dump" "$f.dcm"; done
# The 16-bit colour picture compressed by dcmtk's RLE encoder.
dcmcrle -q rgb16.dcm rgb16-rle.dcm
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
# Variants of every format, judged by nibabel and unu (Debian's python3 has nibabel).
py=/usr/bin/python3; [ -x "$py" ] || py=python3
"$py" "$here/formats.py" formats
# Ordinary pictures made by ImageMagick, with ImageMagick's own decodings as
# 8-bit PNM references (refs.txt: picture, then one reference per frame).
p=pictures
mkdir -p "$p/pngs"
convert -size 64x48 gradient:orange-navy -fill white -draw 'circle 20,20 28,28' -quality 88 "$p/photo.jpg"
convert -size 50x30 gradient:green-magenta -fill black -draw 'rectangle 5,5 20,12' -depth 8 "$p/colour.png"
convert -size 40x30 gradient:white-black -depth 16 "$p/grey16.pgm"
convert -size 33x21 gradient:red-blue -depth 16 "$p/colour16.ppm"
convert -size 37x21 pattern:checkerboard -draw 'circle 9,9 14,14' -monochrome "$p/bits.pbm"
convert "$p/bits.pbm" -compress none "$p/bits-text.pbm"
# Grey TIFF of 32-bit floating point (ImageMagick complains about a tag it
# cannot set, and writes the file) and of 32-bit integer samples.
convert -size 40x30 gradient:white-black -define quantum:format=floating-point -depth 32 "$p/wide-float.tif" || true
[ -s "$p/wide-float.tif" ]
convert -size 40x30 gradient:white-black -depth 32 "$p/wide-int.tif"
convert -size 36x24 xc:firebrick gradient:yellow-teal \( -size 36x24 gradient:white-black -rotate 90 \) -depth 8 \
  -compress Zip "$p/pages.tif"
for n in 1 2 3; do convert -size 30x20 "xc:rgb($((n * 60)),$((n * 30)),200)" "$p/pngs/slide$n.png"; done
convert -size 40x30 xc:skyblue \( -size 20x30 xc:coral \) \( -size 40x10 xc:gold -repage +0+20 \) \
  -delay 10 -loop 0 "$p/anim.gif"
: > "$p/refs.txt"
for f in photo.jpg colour.png grey16.pgm colour16.ppm bits.pbm bits-text.pbm wide-float.tif wide-int.tif pages.tif anim.gif pngs/slide1.png pngs/slide2.png pngs/slide3.png; do
  base=${f//\//-}
  # Animations as ImageMagick coalesces them; pages of a TIFF each as it is.
  case $f in *.gif) co=-coalesce ;; *) co= ;; esac
  convert "$p/$f" $co -depth 8 "$p/ref-$base-%d.ppm"
  echo "$f $(cd "$p" && ls ref-"$base"-*.ppm | sort -t- -k3 -n | tr '\n' ' ')" >> "$p/refs.txt"
done
