#!/usr/bin/env bash
# The encoder wrapper's muxing, concatenation and frame extraction through the
# real encoder, on media made by Debian's ffmpeg and judged by its ffprobe.
. "${RS_SOURCE_DIR:?}/tests/modules/lib.sh"
runner=$bin_dir/testbin/operations_runner.exe
run() { "$wine_run" "$runner" "$(winpath "$smeltrix")" "$@" >/dev/null 2>&1; }
count() { ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$1" | grep -c "$2" || true; }
codec() { ffprobe -v error -select_streams "$2" -show_entries stream=codec_name -of csv=p=0 "$1" | head -1; }
duration() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1" | head -1; }
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= t) }'; }

d=$scratch
ff() { ffmpeg -v error -y "$@"; }
ff -f lavfi -i testsrc=size=160x120:rate=10 -t 2 -c:v libx264 -pix_fmt yuv420p "$d/video.mp4"
ff -f lavfi -i sine=frequency=440:sample_rate=44100 -t 2 -c:a aac "$d/audio.m4a"
for part in a b; do
  ff -f lavfi -i testsrc=size=160x120:rate=10 -f lavfi -i sine=frequency=660:sample_rate=44100 -t 1.5 \
     -c:v libx264 -pix_fmt yuv420p -c:a aac -f mpegts "$d/$part.ts"
  ff -i "$d/$part.ts" -c copy -bsf:a aac_adtstoasc "$d/$part.mp4"
done

# Muxing: the video of one file and the audio of another, both copied.
out="$d/muxed.mp4"
if run mux "$(winpath "$d/video.mp4")" 0 "$(winpath "$d/audio.m4a")" 0 "$(winpath "$out")" mp4; then
  [ "$(count "$out" video)" = 1 ] && [ "$(count "$out" audio)" = 1 ] && ok || fail "mux: streams"
  [ "$(codec "$out" v:0)" = h264 ] && [ "$(codec "$out" a:0)" = aac ] && ok || fail "mux: codecs"
  near "$(duration "$out")" 2.0 0.15 && ok || fail "mux: duration $(duration "$out")"
else
  fail "mux failed"
fi

# Joining transport streams through the concat protocol into MP4 (ADTS to ASC).
out="$d/joined.mp4"
if run concat "$(winpath "$out")" mp4 "$(winpath "$d/a.ts")" "$(winpath "$d/b.ts")"; then
  [ "$(codec "$out" v:0)" = h264 ] && [ "$(codec "$out" a:0)" = aac ] && ok || fail "concat: codecs"
  near "$(duration "$out")" 3.0 0.2 && ok || fail "concat: duration $(duration "$out")"
  ffmpeg -v error -i "$out" -f null - && ok || fail "concat: the file does not decode cleanly"
else
  fail "concat failed"
fi

# Joining MP4 files through a concat list.
printf "file '%s'\nfile '%s'\n" "$(winpath "$d/a.mp4")" "$(winpath "$d/b.mp4")" > "$d/list.txt"
out="$d/listed.mp4"
if run concatlist "$(winpath "$d/list.txt")" "$(winpath "$out")"; then
  [ "$(count "$out" video)" = 1 ] && [ "$(count "$out" audio)" = 1 ] && ok || fail "concat list: streams"
  near "$(duration "$out")" 3.0 0.2 && ok || fail "concat list: duration $(duration "$out")"
else
  fail "concat list failed"
fi

# One frame at one second, scaled; and the frames of a stretch.
out="$d/frame one.bmp"
if run frame "$(winpath "$d/video.mp4")" "$(winpath "$out")" 1000 80 60; then
  [ "$(identify -format '%w %h' "$out" 2>/dev/null)" = "80 60" ] && ok || fail "frame: size"
else
  fail "frame extraction failed"
fi
mkdir -p "$d/range"
if run range "$(winpath "$d/video.mp4")" 500 1499 "$(winpath "$d/range")\\O%07d.bmp" 0 0; then
  n=$(ls "$d/range" | grep -c '^O[0-9]\{7\}\.bmp$' || true)
  [ "$n" -ge 9 ] && [ "$n" -le 11 ] && ok || fail "range: $n frames"
  [ -e "$d/range/O0000001.bmp" ] && ok || fail "range: numbering does not start at 1"
else
  fail "range extraction failed"
fi
ls "$d" | grep -q '\.part$' && fail "a partial file was left behind" || ok
finish
