#!/usr/bin/env bash
# The program tests' inputs (see make-program-data.py) and a clean output folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
rm -rf "$out/series" "$out/out" "$out/clip.mp4" "$out/long.mp4"
mkdir -p "$out/out"
python3 "$here/make-program-data.py" "$out"
(cd "$out/series" && for f in *.dump; do dump2dcm -q "$f" "${f%.dump}.dcm"; done && rm -f ./*.dump ./*.raw)
# A 10-second clip (250 frames) for a conversion long enough to be stopped.
ffmpeg -v error -y -f lavfi -i testsrc=duration=10:size=320x240:rate=25 -c:v libx264 -pix_fmt yuv420p \
  "$out/clip.mp4"
# A larger one (500 frames of 640x480), whose extraction lasts long enough to be stopped.
ffmpeg -v error -y -f lavfi -i testsrc=duration=20:size=640x480:rate=25 -c:v libx264 -pix_fmt yuv420p \
  "$out/long.mp4"
echo "program data: $(ls "$out/series" | wc -l) slices in $out/series"
