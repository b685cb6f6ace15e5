#!/usr/bin/env bash
# Frame extraction from videos made by Debian's ffmpeg: the whole video and the
# stretch from 1000 ms to 5000 ms, with the converter's argument text. The count
# of BMP files must match what Debian's ffprobe counts.
. "$(dirname "$0")/lib.sh"

# extract SRC OUTDIR [seek duration]
extract() {
  local src=$1 dir=$2 args=()
  mkdir -p "$dir"
  [ $# -ge 4 ] && args+=(-ss "$3" -t "$4")
  args+=(-i "$(winpath "$src")")
  [ $# -ge 4 ] && args+=(-t "$4")
  args+=(-f image2 "$(winpath "$dir")"'\O%07d.bmp' -y -callbackcontext 5)
  "$wine_run" "$smeltrix" "${args[@]}"
}

# check_series DIR COUNT W H LABEL: O0000001.bmp .. numbered without gaps, 24-bit.
check_series() {
  local dir=$1 want=$2 w=$3 h=$4 label=$5 n got
  got=$(find "$dir" -maxdepth 1 -name 'O*.bmp' | wc -l)
  if [ "$got" -ne "$want" ]; then fail "$label: $got pictures, ffprobe counts $want"; return; fi
  if find "$dir" -maxdepth 1 -name '*.part' | grep -q .; then fail "$label: temporary files left"; return; fi
  for ((n = 1; n <= want; n++)); do
    [ -f "$(printf '%s/O%07d.bmp' "$dir" "$n")" ] || { fail "$label: picture $n missing"; return; }
  done
  local first; first=$(printf '%s/O%07d.bmp' "$dir" 1)
  local bits; bits=$(od -An -tu2 -j28 -N2 "$first" | tr -d ' ')
  [ "$bits" = 24 ] || { fail "$label: pictures are $bits-bit"; return; }
  local size; size=$(identify -format '%wx%h' "$first")
  [ "$size" = "${w}x$h" ] || { fail "$label: pictures are $size, expected ${w}x$h"; return; }
  ok
}

# frames_between FILE FROM TO: frames whose time from the start of the file is in [FROM, TO).
frames_between() {
  local start
  start=$(ffprobe -v error -show_entries format=start_time -of default=nw=1:nk=1 "$1")
  ffprobe -v error -select_streams v:0 -show_entries frame=best_effort_timestamp_time -of csv=p=0 "$1" |
    awk -F, -v s="$start" -v a="$2" -v b="$3" '{ t = $1 - s; if (t >= a - 1e-6 && t < b - 1e-6) n++ } END { print n + 0 }'
}

sources=(
  "h264.mp4 -c:v libx264 -pix_fmt yuv420p -r 25"
  "mpeg4.avi -c:v mpeg4 -bf 2 -r 30000/1001"
  "mpeg2.mpg -c:v mpeg2video -r 25"
  "flv.flv -c:v flv -r 15"
)
for s in "${sources[@]}"; do
  read -r name opts <<<"$s"
  src=$scratch/$name
  # shellcheck disable=SC2086
  ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=50 -t 7 $opts -an -y "$src"

  whole=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of default=nw=1:nk=1 "$src")
  if extract "$src" "$scratch/whole-$name"; then
    check_series "$scratch/whole-$name" "$whole" 64 48 "$name whole"
  else
    fail "$name whole: encoder failed"
  fi

  part=$(frames_between "$src" 1.0 5.001)
  if extract "$src" "$scratch/part-$name" 0:00:01.000 0:00:04.001; then
    check_series "$scratch/part-$name" "$part" 64 48 "$name 1000-5000 ms"
  else
    fail "$name 1000-5000 ms: encoder failed"
  fi
done

# A source that is not a video fails and writes nothing.
echo "not a video" > "$scratch/bad.mp4"
mkdir -p "$scratch/bad"
if extract "$scratch/bad.mp4" "$scratch/bad" 2>/dev/null; then
  fail "a broken video was accepted"
elif find "$scratch/bad" -type f | grep -q .; then
  fail "a broken video left files"
else
  ok
fi

# Options the encoder does not carry out are refused with a message, and nothing is written
# (stream maps and copies have a test of their own through the wrapper's operations).
src=$scratch/h264.mp4
for opt in "-filter:v hflip" "-vn" "-itsoffset 0:00:01.000" "-codec:a aac" "-target vcd"; do
  dir=$scratch/refused
  rm -rf "$dir"; mkdir -p "$dir"
  # shellcheck disable=SC2086
  if msg=$("$wine_run" "$smeltrix" -i "$(winpath "$src")" $opt -f image2 "$(winpath "$dir")"'\O%07d.bmp' -y 2>&1); then
    fail "option $opt was accepted"
  elif ! grep -q "Smeltrix: .*${opt%% *}" <<<"$msg"; then
    fail "option $opt: no clear message ($msg)"
  elif find "$dir" -type f | grep -q .; then
    fail "option $opt: files were written"
  else
    ok
  fi
done

finish
