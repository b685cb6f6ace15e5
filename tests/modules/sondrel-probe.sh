#!/usr/bin/env bash
# Sondrel against Debian's ffprobe: for videos made by Debian's ffmpeg in several
# containers, every member the converter reads must agree; broken, empty and
# missing files must fail.
. "$(dirname "$0")/lib.sh"

# probe FILE OUT: runs Sondrel with the converter's argument text.
probe() {
  "$wine_run" "$sondrel" "$(winpath "$1")" -loglevel quiet -show_format -show_streams \
    -show_entries "stream_tags : format_tags" -print_format json >"$2"
}

sources=(
  "a.mp4 -c:v libx264 -pix_fmt yuv420p -r 25 -c:a aac"
  "b.avi -c:v mpeg4 -r 30000/1001 -c:a libmp3lame"
  "c.mov -c:v libx264 -pix_fmt yuv420p -r 24000/1001 -c:a aac"
  "d.flv -c:v flv -r 15 -c:a libmp3lame -ar 44100"
  "e.wmv -c:v wmv2 -r 25 -c:a wmav2"
  "f.mpg -c:v mpeg2video -r 25 -c:a mp2"
  "g.3gp -c:v h263 -s 176x144 -r 10 -an"
  "h.vob -c:v mpeg2video -r 25 -c:a ac3 -f dvd"
  "i.mkv -c:v libx264 -pix_fmt yuv420p -r 60 -c:a aac"
)
for s in "${sources[@]}"; do
  read -r name opts <<<"$s"
  src=$scratch/$name
  # shellcheck disable=SC2086
  ffmpeg -v error -f lavfi -i testsrc=size=96x64:rate=60 -f lavfi -i sine=frequency=440:sample_rate=48000 \
    -t 3 $opts -y "$src"
  ffprobe -v quiet -show_format -show_streams -print_format json "$src" >"$scratch/$name.want.json"
  if ! probe "$src" "$scratch/$name.got.json"; then
    fail "$name: Sondrel failed"
    continue
  fi
  if python3 - "$scratch/$name.want.json" "$scratch/$name.got.json" "$name" <<'PY'; then ok; else fail "$name: reports differ"; fi
import json, sys
want = json.load(open(sys.argv[1]))
got = json.load(open(sys.argv[2]))
name = sys.argv[3]
bad = []
def same(where, key, w, g, number):
    if key not in w and key not in g:
        return
    a, b = w.get(key), g.get(key)
    if number and not isinstance(b, int):
        bad.append(f"{where}.{key}: {b!r} is not a JSON number")
    elif a != b:
        bad.append(f"{where}.{key}: ffprobe {a!r}, Sondrel {b!r}")
fmt_text = ["format_name", "start_time", "duration", "size", "bit_rate"]
stream_text = ["codec_name", "codec_type", "start_time", "duration", "bit_rate", "nb_frames",
               "nb_read_frames", "r_frame_rate", "avg_frame_rate", "sample_rate"]
if "format" not in got:
    bad.append("no format")
else:
    same("format", "nb_streams", want["format"], got["format"], True)
    for k in fmt_text:
        same("format", k, want["format"], got["format"], False)
ws, gs = want.get("streams", []), got.get("streams", [])
if not gs or len(ws) != len(gs):
    bad.append(f"{len(gs)} streams, ffprobe {len(ws)}")
for i, (w, g) in enumerate(zip(ws, gs)):
    for k in stream_text:
        same(f"streams[{i}]", k, w, g, False)
    for k in ["width", "height", "channels"]:
        same(f"streams[{i}]", k, w, g, True)
for b in bad:
    print(f"{name}: {b}")
sys.exit(1 if bad else 0)
PY
done

# Tag texts with quotes, backslashes, control characters and non-ASCII letters are
# escaped so that the report stays JSON and carries the same text.
title=$(printf 'He said "hi" \\ back\tslash\nnext line: K\xc3\xa4se')
ffmpeg -v error -f lavfi -i testsrc=size=32x32:rate=5 -t 1 -c:v mpeg4 -metadata "title=$title" -y "$scratch/tags.mp4"
if probe "$scratch/tags.mp4" "$scratch/tags.json" &&
   python3 -c 'import json,sys; t=json.load(open(sys.argv[1]))["format"]["tags"]["title"]; sys.exit(t != sys.argv[2])' \
     "$scratch/tags.json" "$title"; then
  ok
else
  fail "tag text was not carried over intact"
fi

# Files that cannot be read give a non-zero exit.
printf 'this is no video at all' >"$scratch/broken.mp4"
: >"$scratch/empty.avi"
head -c 3000 "$scratch/a.mp4" | tail -c 2000 >"$scratch/cut.mp4"
for f in broken.mp4 empty.avi cut.mp4 missing.mov; do
  if probe "$scratch/$f" "$scratch/$f.json" 2>/dev/null; then
    fail "$f: Sondrel exited 0"
  else
    ok
  fi
done

finish
