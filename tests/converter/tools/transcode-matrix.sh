#!/usr/bin/env bash
# One output format through the converter's encoder wrapper at the default
# and several chosen frame rates; Debian's ffprobe judges every file.
# Usage: transcode-matrix.sh FORMAT_INDEX
. "${RS_SOURCE_DIR:?}/tests/modules/lib.sh"
index=$1
runner=$bin_dir/testbin/transcode_runner.exe
want_codecs=(h264 mpeg4 flv1 huffyuv h264 wmv2 mpeg2video mpeg1video h263 mpeg2video mpeg1video)
want_codec=${want_codecs[$index]}

frames=6
series="$scratch/series dir"
make_series "$series" "$frames"
pattern=$(winpath "$series")'\I%07d.bmp'

# chosen rate (0/0 = the default), chosen size (0 0 = none)
cases=("0 0 0 0" "1 2 0 0" "7 1 0 0" "15 1 0 0" "24000 1001 0 0" "30000 1001 0 0" "60 1 0 0" "25 1 641 480")
n=0
for c in "${cases[@]}"; do
  read -r num den cw ch <<<"$c"
  n=$((n + 1))
  out="$scratch/out put $n.video"
  label="format $index at $num/$den size ${cw}x$ch"
  if ! used=$("$wine_run" "$runner" "$(winpath "$smeltrix")" "$index" "$num" "$den" "$pattern" "$(winpath "$out")" \
              "$cw" "$ch" | tr -d '\r'); then
    fail "$label: the encode failed"
    continue
  fi
  rate=$(sed -n 's/^rate \([0-9]*\/[0-9]*\) .*/\1/p' <<<"$used")
  size=$(sed -n 's/.* size \([0-9]*\)x\([0-9]*\)$/\1 \2/p' <<<"$used")
  read -r w h <<<"$size"
  # Without a size the frames keep the first one's (37x29), made even where the codec needs it.
  if [ "$w" -eq 0 ]; then
    if [ "$want_codec" = huffyuv ]; then w=37 h=29; else w=38 h=30; fi
  else
    w=$((w + w % 2)) h=$((h + h % 2))
    [ "$want_codec" = h263 ] && [ "$w" -gt 352 ] && w=704 h=576
  fi
  [ -s "$out" ] || { fail "$label: no output"; continue; }
  ls "$scratch" | grep -q '\.part$' && { fail "$label: a temporary file was left behind"; continue; }
  got=$(probe_value "$out" stream codec_name) gw=$(probe_value "$out" stream width) gh=$(probe_value "$out" stream height)
  dur=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$out")
  [ "$got" = "$want_codec" ] || { fail "$label: codec $got, expected $want_codec"; continue; }
  [ "$gw $gh" = "$w $h" ] || { fail "$label: size ${gw}x$gh, expected ${w}x$h"; continue; }
  if ! awk -v d="$dur" -v r="$rate" -v n="$frames" 'BEGIN { split(r, q, "/"); fps = q[1] / q[2]
        want = n / fps; tol = 1 / fps + 0.001; if (d == "N/A" || d == "" || d - want > tol || want - d > tol) exit 1 }'
  then
    fail "$label: duration $dur, expected $frames frames at $rate"
    continue
  fi
  ok
done
finish
