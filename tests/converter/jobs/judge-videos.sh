#!/usr/bin/env bash
# Judges the videos the series tests left behind with the system's ffprobe:
# each line of expect.txt names a file and the frames, size, rate and codec it
# must have. The duration must be frames / rate; MPEG-1 and MPEG-2 streams may
# carry the next legal rate instead, with frames repeated to keep the time.
# Usage: judge-videos.sh FOLDER
. "${RS_SOURCE_DIR:?}/tests/modules/lib.sh"
folder=$1
[ -s "$folder/expect.txt" ] || { echo "no videos to judge in $folder"; exit 1; }
while read -r line; do
  line=${line%$'\r'}
  [ -n "$line" ] || continue
  # The name may hold blanks: the last five fields are numbers and names.
  read -r -a f <<<"$line"
  n=${#f[@]}
  codec=${f[n-1]} rate=${f[n-2]} h=${f[n-3]} w=${f[n-4]} frames=${f[n-5]}
  name=${line% "$frames $w $h $rate $codec"}
  file="$folder/$name"
  [ -s "$file" ] || { fail "$name: missing"; continue; }
  got=$(ffprobe -v error -count_frames -select_streams v:0 \
        -show_entries stream=codec_name,width,height,r_frame_rate,nb_read_frames:format=duration \
        -of default=nw=1 "$file")
  val() { sed -n "s/^$1=//p" <<<"$got" | head -1; }
  [ "$(val codec_name)" = "$codec" ] || { fail "$name: codec $(val codec_name), expected $codec"; continue; }
  [ "$(val width)x$(val height)" = "${w}x$h" ] || { fail "$name: size $(val width)x$(val height), expected ${w}x$h"; continue; }
  if ! awk -v d="$(val duration)" -v r="$rate" -v n="$frames" 'BEGIN { split(r, q, "/"); fps = q[1] / q[2]
        want = n / fps; tol = 1 / fps + 0.002; exit !(d != "N/A" && d - want <= tol && want - d <= tol) }'; then
    fail "$name: duration $(val duration), expected $frames frames at $rate"
    continue
  fi
  if [ "$(val r_frame_rate)" = "$rate" ]; then
    [ "$(val nb_read_frames)" = "$frames" ] || { fail "$name: $(val nb_read_frames) frames, expected $frames"; continue; }
  else
    case $codec in mpeg1video | mpeg2video) ;; *) fail "$name: rate $(val r_frame_rate), expected $rate"; continue ;; esac
    awk -v a="$(val r_frame_rate)" -v b="$rate" 'BEGIN { split(a, x, "/"); split(b, y, "/"); exit !(x[1] / x[2] >= y[1] / y[2]) }' ||
      { fail "$name: rate $(val r_frame_rate) is below $rate"; continue; }
  fi
  ok
done < "$folder/expect.txt"
finish
