#!/usr/bin/env bash
# The encoder wrapper's muxing, concatenation and frame extraction through the
# real encoder, on media made by Debian's ffmpeg and judged by its ffprobe.
. "${RS_SOURCE_DIR:?}/tests/modules/lib.sh"
runner=$bin_dir/testbin/operations_runner.exe
run() { "$wine_run" "$runner" "$(winpath "$smeltrix")" "$@" >/dev/null 2>&1; }
count() { ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$1" | grep -c "$2" || true; }
codec() { ffprobe -v error -select_streams "$2" -show_entries stream=codec_name -of csv=p=0 "$1" | head -1; }
duration() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1" | head -1; }
# frames FILE STREAM: the frames Debian's ffprobe decodes from one stream.
frames() { ffprobe -v error -count_frames -select_streams "$2" -show_entries stream=nb_read_frames -of csv=p=0 "$1" | head -1; }
audio() { ffprobe -v error -select_streams a:0 -show_entries "stream=$2" -of csv=p=0 "$1" | head -1; }
clean() { [ -z "$(ffmpeg -v error -i "$1" -f null - 2>&1)" ]; }
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
  # The first pictures are decoded before they are shown: none may be lost.
  [ "$(frames "$out" v:0)" = 20 ] && ok || fail "mux: $(frames "$out" v:0) of 20 pictures"
else
  fail "mux failed"
fi

# Muxing with codecs: each stream encoded with the codec named, for three containers.
for c in "avi mpeg4 mp2 mpeg4 mp2" "asf wmv2 wmav2 wmv2 wmav2" "matroska libx264 ac3 h264 ac3"; do
  read -r fmt vc ac vname aname <<<"$c"
  out="$d/coded.$fmt"
  if run muxcodecs "$(winpath "$d/video.mp4")" 0 "$(winpath "$d/audio.m4a")" 0 "$(winpath "$out")" "$fmt" "$vc" "$ac"; then
    [ "$(codec "$out" v:0)" = "$vname" ] && [ "$(codec "$out" a:0)" = "$aname" ] && ok ||
      fail "mux $vc+$ac: codecs $(codec "$out" v:0) $(codec "$out" a:0)"
    [ "$(frames "$out" v:0)" = 20 ] && ok || fail "mux $vc+$ac: $(frames "$out" v:0) of 20 pictures"
    near "$(duration "$out")" 2.0 0.15 && ok || fail "mux $vc+$ac: duration $(duration "$out")"
    clean "$out" && ok || fail "mux $vc+$ac: the file does not decode cleanly"
  else
    fail "mux with $vc and $ac failed"
  fi
done

# The picture copied, the sound encoded with the rate, channels and bit rate asked for.
out="$d/resampled.mp4"
if "$wine_run" "$smeltrix" -i "$(winpath "$d/video.mp4")" -i "$(winpath "$d/audio.m4a")" -map 0:0 -map 1:0 \
     -codec:v copy -codec:a aac -ac 2 -ar 22050 -b:a 64k -f mp4 "$(winpath "$out")" -y >/dev/null 2>&1; then
  [ "$(audio "$out" sample_rate)" = 22050 ] && [ "$(audio "$out" channels)" = 2 ] && ok ||
    fail "audio options: $(audio "$out" sample_rate) Hz, $(audio "$out" channels) channels"
  rate=$(audio "$out" bit_rate)
  [ "$rate" -ge 40000 ] && [ "$rate" -le 80000 ] && ok || fail "audio options: bit rate $rate"
  near "$(ffprobe -v error -select_streams a:0 -show_entries stream=duration -of csv=p=0 "$out")" 2.0 0.1 && ok ||
    fail "audio options: sound of the wrong length"
  [ "$(codec "$out" v:0)" = h264 ] && [ "$(frames "$out" v:0)" = 20 ] && ok || fail "audio options: the picture"
else
  fail "mux with audio options failed"
fi

# A codec the container cannot hold, or one the encoder does not know, fails and writes nothing.
for c in "mp4 mpeg4 wmav2" "avi mpeg4 nosuchcodec"; do
  read -r fmt vc ac <<<"$c"
  out="$d/refused.$fmt"
  if run muxcodecs "$(winpath "$d/video.mp4")" 0 "$(winpath "$d/audio.m4a")" 0 "$(winpath "$out")" "$fmt" "$vc" "$ac"; then
    fail "mux with $ac into $fmt was accepted"
  else
    [ ! -e "$out" ] && ok || fail "mux with $ac into $fmt left a file"
  fi
done

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
