#!/usr/bin/env bash
# The series tests' inputs: DICOM slices and a multi-frame file from dump2dcm,
# ordinary pictures from ImageMagick, and a mixed folder of all of them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
rm -rf "$out"; mkdir -p "$out"
python3 "$here/make-series-data.py" "$out"
for d in $(find "$out" -name '*.dump' -printf '%h\n' | sort -u); do
  (cd "$d" && for f in *.dump; do dump2dcm -q "$f" "${f%.dump}.dcm"; done && rm -f ./*.dump ./*.raw)
done
# 60 full-size CT slices, for work that takes the encoder a while.
mkdir -p "$out/ct"
python3 "$here/../../modules/quillfen/bench/make_series.py" "$out/ct" 60
(cd "$out/ct" && for f in s*.dump; do dump2dcm -q "$f" "${f%.dump}.dcm"; done && rm -f s*.raw s*.dump)
echo "not a picture" > "$out/slices/notes.txt"
mkdir -p "$out/mixed" "$out/pictures"
# Pictures the library leaves to the image container: 40x30 with a colour each.
convert -size 40x30 xc:'#FF0000' "$out/mixed/a.bmp"
convert -size 40x30 xc:'#00FF00' "$out/mixed/b.png"
convert -size 40x30 xc:'#0000FF' -quality 95 "$out/mixed/c.jpg"
cp "$out/slices/IM0003.dcm" "$out/mixed/d.dcm"
echo "text" > "$out/mixed/e.txt"
convert -size 100x80 xc:'#808000' "$out/pictures/small.png"
convert -size 1024x768 xc:'#004080' "$out/pictures/wide.png"
convert -size 300x600 xc:'#400080' "$out/pictures/tall.png"
# A folder with a link back to itself: a scan must not follow it.
mkdir -p "$out/looped"
convert -size 40x30 xc:'#FF0000' "$out/looped/a.bmp"
ln -s . "$out/looped/again"
# A 3-page TIFF, each page its own colour.
mkdir -p "$out/tiff"
convert -size 40x30 xc:'#C00000' xc:'#00A000' xc:'#0000E0' "$out/tiff/pages.tif"
[ "$(identify "$out/tiff/pages.tif" | wc -l)" = 3 ]
# The picture that frame 0 of the multi-frame file must give, by dcmtk.
dcm2pnm --frame 1 --use-window 1 --write-raw-pnm "$out/multi/cine.dcm" "$out/multi/cine-frame1.pgm"
