#!/usr/bin/env bash
# Judges the DICOM files of a whole-video run with tools no one here wrote:
# every file passes dciodvfy without an error and has its own instance UID,
# and frame 100 as dcm2pnm renders it lies within a few levels of the frame
# the system's ffmpeg decodes.
# judge-output.sh MEDIA_DIR OUTPUT_DIR BASE
set -uo pipefail
media=$1 out=$2 base=$3
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

want=$(cat "$media/heart.mp4.count")
got=$(find "$out" -maxdepth 1 -name "$base-*.dcm" | wc -l)
[ "$got" -eq "$want" ] || fail "$got files in $out, ffprobe counts $want frames"
for ((n = 1; n <= want; n++)); do
  f=$(printf '%s/%s-%04d.dcm' "$out" "$base" "$n")
  [ -f "$f" ] || { fail "missing $f"; continue; }
  report=$(dciodvfy "$f" 2>&1)
  if grep -q '^Error' <<<"$report"; then
    fail "dciodvfy finds errors in $f:"; grep '^Error' <<<"$report" | head -5
  fi
done

# Written side by side, every file is still an instance of its own.
dups=$(for f in "$out/$base"-*.dcm; do dcmdump +P 0008,0018 "$f"; done | awk '{ print $3 }' | sort | uniq -d | wc -l)
[ "$dups" -eq 0 ] || fail "$dups SOP instance UIDs occur more than once"

# Frame 100, rendered by dcmtk, against ffmpeg's own decoding.
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
f100=$(printf '%s/%s-%04d.dcm' "$out" "$base" 100)
if dcm2pnm --write-raw-pnm "$f100" "$tmp/ours.ppm" >/dev/null 2>&1; then
  size=$(identify -format '%wx%h' "$tmp/ours.ppm")
  [ "$size" = 320x240 ] || fail "frame 100 is $size"
  # Mean and peak difference in 8-bit levels over all channels.
  read -r mean peak < <(compare -metric MAE "$tmp/ours.ppm" "$media/heart-frame100.ppm" null: 2>&1 |
    awk '{ gsub(/[()]/, "", $2); printf "%.2f ", $2 * 255 }'
    compare -metric PAE "$tmp/ours.ppm" "$media/heart-frame100.ppm" null: 2>&1 |
    awk '{ gsub(/[()]/, "", $2); printf "%.0f\n", $2 * 255 }')
  echo "frame 100 against ffmpeg: mean difference $mean levels, peak $peak levels"
  awk -v m="$mean" 'BEGIN { exit !(m <= 2.0) }' || fail "frame 100 differs by $mean levels on average"
  # Frame 99 or 101 would differ by far more: the picture moves from frame to frame.
  ffmpeg -loglevel error -y -i "$media/heart.mp4" -vf 'select=eq(n\,100)' -frames:v 1 -pix_fmt rgb24 "$tmp/next.ppm"
  other=$(compare -metric MAE "$tmp/ours.ppm" "$tmp/next.ppm" null: 2>&1 | awk '{ gsub(/[()]/, "", $2); printf "%.2f", $2 * 255 }')
  echo "frame 100 against ffmpeg's frame 101: mean difference $other levels"
  awk -v m="$mean" -v o="$other" 'BEGIN { exit !(o > 4 * m + 2) }' || fail "frame 100 is not told apart from frame 101"
else
  fail "dcm2pnm cannot render $f100"
fi
echo "$fails failures"
[ "$fails" -eq 0 ]
