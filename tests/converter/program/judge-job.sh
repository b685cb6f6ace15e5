#!/usr/bin/env bash
# Judges what the program wrote in converter_program_job_test with the
# system's tools: the MP4 made from the series (ffprobe: H.264, 256x256, one
# frame per slice, the square walking left to right) and the DICOM files made
# back from it (dciodvfy without errors, one per frame, numbered from 1).
# Usage: judge-job.sh DATA_DIR
set -uo pipefail
data=$1
out="$data/out"
status=0
fail() { echo "judge-job: $*" >&2; status=1; }

video="$out/walk.mp4"
if [ ! -s "$video" ]; then
  fail "no video at $video"
else
  info=$(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=codec_name,width,height,nb_read_frames -of default=nw=1 "$video")
  grep -qx 'codec_name=h264' <<<"$info" || fail "video codec: $info"
  grep -qx 'width=256' <<<"$info" && grep -qx 'height=256' <<<"$info" || fail "video size: $info"
  grep -qx 'nb_read_frames=120' <<<"$info" || fail "video frames: $info"
  # The square: near the left edge in the first frame, near the right in the last.
  for n in 0 119; do
    ffmpeg -v error -y -i "$video" -vf "select=eq(n\,$n)" -vframes 1 -pix_fmt gray -f rawvideo "$out/frame$n.gray" \
      || fail "frame $n does not decode"
  done
  centre() { python3 -c '
import sys
d = open(sys.argv[1], "rb").read()
xs = [i % 256 for i, v in enumerate(d) if v > 128]
print(sum(xs) // len(xs) if xs else -1)' "$1"; }
  left=$(centre "$out/frame0.gray") right=$(centre "$out/frame119.gray")
  { [ "$left" -ge 16 ] && [ "$left" -le 32 ]; } || fail "first frame's square centre at x=$left"
  { [ "$right" -ge 223 ] && [ "$right" -le 239 ]; } || fail "last frame's square centre at x=$right"
  rm -f "$out"/frame*.gray
fi

dicom="$out/dicom"
if [ -d "$dicom" ]; then
  count=$(ls "$dicom"/walk-*.dcm 2>/dev/null | wc -l)
  [ "$count" -eq 120 ] || fail "$count DICOM files instead of 120"
  [ -f "$dicom/walk-0001.dcm" ] && [ -f "$dicom/walk-0120.dcm" ] || fail "DICOM files not numbered 0001..0120"
  for f in "$dicom/walk-0001.dcm" "$dicom/walk-0060.dcm" "$dicom/walk-0120.dcm"; do
    if dciodvfy "$f" 2>&1 | grep -q '^Error'; then
      fail "dciodvfy finds errors in $f:"; dciodvfy "$f" 2>&1 | grep '^Error' >&2
    fi
  done
else
  fail "no DICOM folder at $dicom"
fi
[ $status -eq 0 ] && echo "judge-job: video and DICOM files pass"
exit $status
