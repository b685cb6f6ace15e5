#!/usr/bin/env bash
# The program tests' inputs (see make-program-data.py) and a clean output folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
rm -rf "$out/series" "$out/out"
mkdir -p "$out/out"
python3 "$here/make-program-data.py" "$out"
(cd "$out/series" && for f in *.dump; do dump2dcm -q "$f" "${f%.dump}.dcm"; done && rm -f ./*.dump ./*.raw)
echo "program data: $(ls "$out/series" | wc -l) slices in $out/series"
