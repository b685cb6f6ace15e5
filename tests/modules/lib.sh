# Helpers for the module tests: run the Windows tools under Wine and judge with
# Debian's native tools. Sourced by the test scripts.
set -euo pipefail
src_dir=${RS_SOURCE_DIR:?}
bin_dir=${RS_BINARY_DIR:?}
smeltrix=$bin_dir/bin/Modules/Smeltrix.exe
sondrel=$bin_dir/bin/Modules/Sondrel.exe
wine_run=$src_dir/scripts/wine-run
export WINEPREFIX=${WINEPREFIX:-$bin_dir/wineprefix}

# winpath PATH: the Windows form of an absolute Linux path (Wine's Z: drive).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# A fresh scratch folder removed when the script ends.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/rs-modules.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fails=0
passes=0
ok() { passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
finish() {
  echo "$passes passed, $fails failed"
  [ "$fails" -eq 0 ]
}

# make_series DIR COUNT: numbered BMP pictures from I0000000.bmp of mixed sizes
# and depths: the first is 37x29 24-bit, then 8-bit palette and 24-bit pictures
# of other sizes.
make_series() {
  local dir=$1 count=$2 i name
  mkdir -p "$dir"
  for ((i = 0; i < count; i++)); do
    name=$(printf '%s/I%07d.bmp' "$dir" "$i")
    case $((i % 3)) in
      0) convert -size 37x29 "gradient:rgb($((i * 20 % 256)),40,200)-yellow" -type TrueColor "BMP3:$name" ;;
      1) convert -size 40x30 "gradient:white-rgb(0,$((i * 30 % 256)),90)" -colors 64 -type Palette "BMP3:$name" ;;
      2) convert -size 53x41 "radial-gradient:red-rgb(0,0,$((i * 25 % 256)))" -type TrueColor "BMP3:$name" ;;
    esac
  done
}

# probe_value FILE SECTION ENTRY: one value from Debian's ffprobe.
probe_value() {
  ffprobe -v error -select_streams v:0 -show_entries "$2=$3" -of default=nw=1:nk=1 "$1" | head -1
}
