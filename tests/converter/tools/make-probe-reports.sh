#!/usr/bin/env bash
# Makes short videos in several containers with the system's ffmpeg, and for
# each the report of the system's ffprobe plus the values a reader must find
# in it (one "key value" a line).
set -euo pipefail
out=$1
rm -rf "$out"; mkdir -p "$out"
cd "$out"
make() { ffmpeg -loglevel error -y "$@"; }
make -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 -t 2 \
  -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest clip.mp4
make -f lavfi -i testsrc=size=176x144:rate=10 -t 3 -c:v mpeg4 clip.avi
make -f lavfi -i testsrc=size=352x288:rate=30000/1001 -t 1 -c:v mjpeg clip.mov
make -f lavfi -i testsrc=size=320x240:rate=15 -f lavfi -i sine=sample_rate=22050 -t 2 -c:v flv1 -c:a mp3 \
  -shortest clip.flv
make -f lavfi -i testsrc=size=160x120:rate=24000/1001 -t 2 -c:v libvpx -b:v 200k clip.mkv
for f in clip.*; do
  case $f in *.json|*.expect) continue;; esac
  ffprobe "$f" -loglevel quiet -show_format -show_streams -show_entries "stream_tags : format_tags" \
    -print_format json > "$f.json"
  python3 - "$f.json" > "$f.expect" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))
f = r["format"]
def us(t):
    return int(float(t) * 1000000) if t not in (None, "") else 0
print("format_name", f.get("format_name", ""))
print("nb_streams", f.get("nb_streams", 0))
print("duration", us(f.get("duration")))
print("size", f.get("size", 0))
print("bit_rate", f.get("bit_rate", 0))
for i, s in enumerate(r["streams"]):
    print("stream", i, s.get("codec_type", ""), s.get("codec_name", ""))
    if s.get("codec_type") == "video":
        rate = s.get("r_frame_rate") or s.get("avg_frame_rate") or "0/0"
        print("video", i, s.get("width", 0), s.get("height", 0), rate.replace("/", " "),
              int(s.get("nb_frames") or s.get("nb_read_frames") or 0))
    if s.get("codec_type") == "audio":
        print("audio", i, s.get("sample_rate", 0), s.get("channels", 0))
PY
done
