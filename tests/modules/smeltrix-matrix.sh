#!/usr/bin/env bash
# One output format of the converter through Smeltrix at several frame rates,
# with the argument text the converter builds; Debian's ffprobe judges the file.
# Usage: smeltrix-matrix.sh FORMAT_INDEX
. "$(dirname "$0")/lib.sh"
index=$1

# extension container codec width height expected-codec (the converter's format table)
formats=(
  ".mp4 mp4 libx264 0 0 h264"
  ".mp4 mp4 mpeg4 0 0 mpeg4"
  ".flv flv flv 0 0 flv1"
  ".avi avi huffyuv 0 0 huffyuv"
  ".mov mov libx264 0 0 h264"
  ".wmv asf wmv2 0 0 wmv2"
  ".mpg mpeg mpeg2video 0 0 mpeg2video"
  ".mpg mpeg mpeg1video 0 0 mpeg1video"
  ".3gp 3gp h263 352 288 h263"
  ".vob dvd mpeg2video 0 0 mpeg2video"
  ".mpg vcd mpeg1video 0 0 mpeg1video"
)
read -r ext container codec fw fh want_codec <<<"${formats[$index]}"

frames=5
series=$scratch/series
make_series "$series" "$frames"
pattern=$(winpath "$series")'\I%07d.bmp'

# The rates: the default 10/1 and others of the converter's rate list.
rates=(10/1 1/2 7/1 15/1 24000/1001 30000/1001 60/1)

# encode RATE WIDTH HEIGHT OUT: runs the encoder with the converter's tokens.
encode() {
  local rate=$1 w=$2 h=$3 out=$4 args
  args=(-r "$rate" -i "$pattern" -codec:v "$codec")
  if [ "$w" -gt 0 ] && [ "$h" -gt 0 ]; then
    w=$((w + w % 2)); h=$((h + h % 2))
    args+=(-s "${w}x${h}")
  fi
  args+=(-q:v 0 -an -f "$container" "$(winpath "$out")" -y -callbackcontext 7)
  "$wine_run" "$smeltrix" "${args[@]}"
}

# check OUT RATE WANT_W WANT_H LABEL
check() {
  local out=$1 rate=$2 ww=$3 wh=$4 label=$5
  local got_codec got_w got_h dur
  if [ ! -s "$out" ]; then fail "$label: no output file"; return; fi
  got_codec=$(probe_value "$out" stream codec_name)
  got_w=$(probe_value "$out" stream width)
  got_h=$(probe_value "$out" stream height)
  dur=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$out")
  [ "$got_codec" = "$want_codec" ] || { fail "$label: codec $got_codec, expected $want_codec"; return; }
  [ "$got_w" = "$ww" ] && [ "$got_h" = "$wh" ] || { fail "$label: size ${got_w}x$got_h, expected ${ww}x$wh"; return; }
  if ! awk -v d="$dur" -v r="$rate" -v n="$frames" 'BEGIN {
        split(r, q, "/"); fps = q[1] / q[2]; want = n / fps; tol = 1 / fps + 0.001
        if (d == "" || d == "N/A" || d - want > tol || want - d > tol) exit 1 }'; then
    fail "$label: duration $dur, expected $frames frames at $rate"
    return
  fi
  ok
}

for rate in "${rates[@]}"; do
  enc_rate=$rate
  # The converter never gives MPEG-1 less than 20 frames per second.
  if [ "$codec" = mpeg1video ] && awk -v r="$rate" 'BEGIN { split(r, q, "/"); exit !(q[1] / q[2] < 20) }'; then
    enc_rate=20/1
  fi
  out=$scratch/out-${rate//\//_}$ext
  label="$container/$codec at $enc_rate"
  if ! encode "$enc_rate" "$fw" "$fh" "$out"; then fail "$label: encoder failed"; continue; fi
  if [ "$fw" -gt 0 ]; then
    check "$out" "$enc_rate" "$fw" "$fh" "$label"
  elif [ "$codec" = huffyuv ]; then
    check "$out" "$enc_rate" 37 29 "$label"
  else
    check "$out" "$enc_rate" 38 30 "$label"
  fi
  ls "$scratch" | grep -q '\.part$' && fail "$label: a temporary file was left behind"
done

# A size of the user's choice: H.263 places it into the smallest size that holds it;
# the others take it as it is (made even by the converter).
out=$scratch/chosen$ext
chosen_rate=10/1
[ "$codec" = mpeg1video ] && chosen_rate=20/1
if encode "$chosen_rate" 641 480 "$out"; then
  if [ "$codec" = h263 ]; then
    check "$out" "$chosen_rate" 704 576 "$container/$codec at 642x480"
  else
    check "$out" "$chosen_rate" 642 480 "$container/$codec at 642x480"
  fi
else
  fail "$container/$codec at 642x480: encoder failed"
fi

finish
