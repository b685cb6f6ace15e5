#!/usr/bin/env bash
# Makes the DICOM test files with dcmtk and GDCM (tools no one here wrote) and
# their reference decodings. Usage: make-fixtures.sh OUTDIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
rm -rf "$out"; mkdir -p "$out"; cd "$out"
python3 "$here/qffix.py" make .
for f in ct16 mr12 g8 m1 rgb pal latin1 utf8 dose rgb16 rgb32 ybr422 icon dose32 ct12s big8; do dump2dcm -q "$f.dump" "$f.dcm"; done
# The 16-bit colour picture compressed by dcmtk's RLE encoder.
dcmcrle -q rgb16.dcm rgb16-rle.dcm
(cd series && for f in a b c d; do dump2dcm -q "$f.dump" "$f.dcm"; done && rm -f ./*.dump ./*.raw)
# A plain picture turned into DICOM by img2dcm.
convert -size 40x30 gradient:red-blue -type TrueColor BMP3:pic.bmp
img2dcm -q -i BMP pic.bmp img2dcm.dcm

# manifest lines: encoded-file reference-file lossless(1|0)
: > manifest.txt
add() { [ -s "$1" ] && echo "$1 $2 $3" >> manifest.txt; }
for f in ct16 mr12 g8 rgb pal img2dcm ct12s; do
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
# Compressed files that must convert: a 15-frame 32-bit RLE dose grid,
# baseline JPEG kept in RGB (GDCM's lossy encoder), JPEG 2000 in YBR_RCT.
dcmcrle -q dose32.dcm dose32-rle.dcm; dcmdrle -q dose32-rle.dcm dose32-rle-ref.dcm; add dose32-rle.dcm dose32-rle-ref.dcm 1
gdcmconv --jpeg --lossy -q 90 rgb.dcm rgb-jpegrgb.dcm 2>/dev/null
dcmdjpeg -q rgb-jpegrgb.dcm rgb-jpegrgb-ref.dcm; add rgb-jpegrgb.dcm rgb-jpegrgb-ref.dcm 0
gdcmconv --j2k rgb.dcm rgb-rct.dcm && dcmodify -q -nb -m "(0028,0004)=YBR_RCT" rgb-rct.dcm; add rgb-rct.dcm rgb.dcm 1
# Files assembled around the real pixel data, each read whole by dcmdump:
# a look-alike of compressed pixel data inside a private element, in front of
# a sound stream (decoy-good) or of a stream larger than the image (decoy-bad);
# icons holding compressed data, one larger than the image; sequences nested
# 20 and 2000 deep; an element claiming nearly 4 GiB in a small file.
dcmcjpeg -q +eb big8.dcm big8-baseline.dcm; dcmcrle -q big8.dcm big8-rle.dcm; gdcmconv --j2k big8.dcm big8-j2k.dcm
py() { python3 "$here/qffix.py" "$@"; }
py decoy g8-baseline.dcm big8-baseline.dcm decoy-good.dcm; add decoy-good.dcm g8-baseline-ref.dcm 0
py swap-pixels g8-j2k.dcm big8-j2k.dcm big-j2k.dcm; py decoy big-j2k.dcm g8-j2k.dcm decoy-bad.dcm
py icon g8-baseline.dcm big8-baseline.dcm 96 128 icon-jpeg.dcm; add icon-jpeg.dcm g8-baseline-ref.dcm 0
py icon g8-rle.dcm big8-rle.dcm 96 128 icon-rle.dcm; add icon-rle.dcm g8.dcm 1
# GDCM's own compressed icons.
gdcmconv --rle --generate-icon --compress-icon mr12.dcm mr12-rleicon.dcm; add mr12-rleicon.dcm mr12.dcm 1
gdcmconv --j2k --generate-icon --compress-icon g8.dcm g8-j2kicon.dcm; add g8-j2kicon.dcm g8.dcm 1
py nested g8.dcm 20 nested20.dcm; py nested g8.dcm 2000 nested2000.dcm
py claim g8.dcm claim.dcm
py pad utf8.dcm
for f in decoy-good decoy-bad icon-jpeg icon-rle nested20 nested2000 utf8; do dcmdump -q "$f.dcm" > /dev/null; done
# Layouts that writers in the field use and GDCM reads (odd-layouts.py, with
# Debian's pydicom, which judges them first), each against its control,
# decoded exactly alike; the controls against dcmtk's and GDCM's decodings.
/usr/bin/python3 "$here/odd-layouts.py" .
/usr/bin/python3 -W ignore "$here/odd-layouts.py" check .
add odd-jpeg-implicit-dataset.dcm odd-jpeg-control.dcm 1
dcmdjpeg -q odd-jpeg-control.dcm odd-jpeg-control-ref.dcm; add odd-jpeg-control.dcm odd-jpeg-control-ref.dcm 0
add odd-rle32-un.dcm odd-rle32-control.dcm 1
dcmdrle -q odd-rle32-control.dcm odd-rle32-control-ref.dcm; add odd-rle32-control.dcm odd-rle32-control-ref.dcm 1
add odd-rle32-un-1frame.dcm odd-rle32-1frame-control.dcm 1
dcmdrle -q odd-rle32-1frame-control.dcm odd-rle32-1frame-ref.dcm; add odd-rle32-1frame-control.dcm odd-rle32-1frame-ref.dcm 1
add odd-j2k-jp2-boxes.dcm odd-j2k-control.dcm 1
gdcmconv --raw odd-j2k-control.dcm odd-j2k-control-ref.dcm; add odd-j2k-control.dcm odd-j2k-control-ref.dcm 1
# Edge cases: 1-bit pictures, a palette of 16-bit entries whose bytes differ
# (dcm2pnm renders it) and one whose first mapped value is 10, files that GDCM
# reads otherwise than their bytes seem to say (a 13-byte implicit value, a
# NumberOfFrames of "1e1" and "0x10", ACR-NEMA planes), an element running
# past the end of its item, folders of one series by position.
py edges .
for f in bits1 pal16 pal-first; do dump2dcm -q "$f.dump" "$f.dcm"; done
dcm2pnm -q pal16.dcm pal16.ppm
py frames-text g8.dcm 1e1 frames-1e1.dcm; py frames-text g8.dcm 0x10 frames-0x10.dcm
py item-overrun g8.dcm item-overrun.dcm
py many-elements g8.dcm 999000 many-elements.dcm
py series-by-position .
for d in series-up series-down series-empty; do
  (cd "$d" && for f in ./*.dump; do dump2dcm -q "$f" "${f%.dump}.dcm"; done && rm -f ./*.dump ./*.raw)
done
# What GDCM reads in them (gdcm-read.txt: file, columns, rows, frames, the
# photometric interpretation; the pixel data as gdcmraw takes it out).
: > gdcm-read.txt
for f in desync acr-planes frames-1e1 frames-0x10 bits1; do
  info=$(gdcminfo "$f.dcm")
  dims=$(echo "$info" | sed -n 's/^Dimensions: (\([0-9]*\),\([0-9]*\),\([0-9]*\))/\1 \2 \3/p')
  pi=$(echo "$info" | sed -n 's/^PhotometricInterpretation: *\([A-Z0-9_]*\).*/\1/p')
  [ -n "$dims" ] && [ -n "$pi" ]
  echo "$f.dcm $dims $pi" >> gdcm-read.txt
  gdcmraw -i "$f.dcm" -o "$f.gdcmraw" -t 7fe0,0010
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
convert -size 41x23 gradient:white-black -depth 8 "$p/grey8.pgm"
convert -size 35x19 gradient:green-orange -depth 8 "$p/colour8.ppm"
convert -size 37x21 pattern:checkerboard -draw 'circle 9,9 14,14' -monochrome "$p/bits.pbm"
convert "$p/bits.pbm" -compress none "$p/bits-text.pbm"
# Grey TIFF of 32-bit floating point (ImageMagick complains about a tag it
# cannot set, and writes the file) and of 32-bit integer samples.
convert -size 40x30 gradient:white-black -define quantum:format=floating-point -depth 32 "$p/wide-float.tif" || true
[ -s "$p/wide-float.tif" ]
# The same stored turned: its orientation tag says the rows run down the right side.
convert -size 40x30 gradient:white-black -fill gray30 -draw 'rectangle 2,2 9,6' -alpha off \
  -define quantum:format=floating-point -depth 32 -orient RightTop "$p/wide-float-turned.tif" || true
[ -s "$p/wide-float-turned.tif" ]
convert -size 40x30 gradient:white-black -depth 32 "$p/wide-int.tif"
convert -size 36x24 xc:firebrick gradient:yellow-teal \( -size 36x24 gradient:white-black -rotate 90 \) -depth 8 \
  -compress Zip "$p/pages.tif"
for n in 1 2 3; do convert -size 30x20 "xc:rgb($((n * 60)),$((n * 30)),200)" "$p/pngs/slide$n.png"; done
convert -size 40x30 xc:skyblue \( -size 20x30 xc:coral \) \( -size 40x10 xc:gold -repage +0+20 \) \
  -delay 10 -loop 0 "$p/anim.gif"
: > "$p/refs.txt"
for f in photo.jpg colour.png grey16.pgm colour16.ppm grey8.pgm colour8.ppm bits.pbm bits-text.pbm wide-float.tif \
    wide-float-turned.tif wide-int.tif pages.tif anim.gif pngs/slide1.png pngs/slide2.png pngs/slide3.png; do
  base=${f//\//-}
  # Animations as ImageMagick coalesces them; pages of a TIFF each as it is,
  # turned by its orientation tag.
  case $f in *.gif) co=-coalesce ;; *-turned.tif) co=-auto-orient ;; *) co= ;; esac
  convert "$p/$f" $co -depth 8 "$p/ref-$base-%d.ppm"
  echo "$f $(cd "$p" && ls ref-"$base"-*.ppm | sort -t- -k3 -n | tr '\n' ' ')" >> "$p/refs.txt"
done
