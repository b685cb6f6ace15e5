#!/usr/bin/env bash
# Videos for the video-to-DICOM tests, made by the system's ffmpeg, with the
# frame counts the system's ffprobe finds in them ("<file>.count") and the
# reference picture of frame 100 of heart.mp4.
set -euo pipefail
out=$1
rm -rf "$out"; mkdir -p "$out"
cd "$out"
make() { ffmpeg -loglevel error -y "$@"; }

# count FILE: decoded frames of the first video stream.
count() {
  ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
    -of default=nw=1:nk=1 "$1"
}
# frames_between FILE FROM TO: frames whose time from the start of the file lies in [FROM, TO).
frames_between() {
  local start
  start=$(ffprobe -v error -show_entries format=start_time -of default=nw=1:nk=1 "$1")
  ffprobe -v error -select_streams v:0 -show_entries frame=best_effort_timestamp_time -of csv=p=0 "$1" |
    awk -F, -v s="$start" -v a="$2" -v b="$3" '{ t = $1 - s; if (t >= a - 1e-6 && t < b - 1e-6) n++ } END { print n + 0 }'
}

# Ten seconds at 25 frames a second, 320x240, H.264.
make -f lavfi -i testsrc2=size=320x240:rate=25 -t 10 -c:v libx264 -pix_fmt yuv420p heart.mp4
# A short AVI of MPEG-4 with B-frames, and a short FLV.
make -f lavfi -i testsrc=size=176x144:rate=25 -t 3 -c:v mpeg4 -bf 2 -q:v 4 echo.avi
make -f lavfi -i testsrc=size=160x120:rate=15 -t 2 -c:v flv1 scope.flv
# Ten frames, for failures in the middle of a job.
make -f lavfi -i testsrc2=size=96x64:rate=10 -t 1 -c:v libx264 -pix_fmt yuv420p ten.mp4
# A name with '%' in it.
cp ten.mp4 '50%off.mp4'
# Sound only: no picture to extract.
make -f lavfi -i sine=frequency=440:sample_rate=22050 -t 1 -c:a aac tone.m4a
# Not a video at all.
printf 'This is a text file, not a video.\n' > broken.mp4

for f in heart.mp4 echo.avi scope.flv ten.mp4; do
  count "$f" > "$f.count"
done
# The stretch from 00:00:02.000 to 00:00:05.000: the encoder reads 3001 ms from 2 s.
frames_between heart.mp4 2.0 5.001 > heart.mp4.range.count

# Frame 100 (index 99) as the system's ffmpeg decodes it.
make -i heart.mp4 -vf 'select=eq(n\,99)' -frames:v 1 -pix_fmt rgb24 heart-frame100.ppm
echo "media ready: $(cat heart.mp4.count) $(cat heart.mp4.range.count) $(cat echo.avi.count) $(cat scope.flv.count) $(cat ten.mp4.count)"
