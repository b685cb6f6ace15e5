#!/usr/bin/env bash
# Makes the viewer's test files with dcmtk (dump2dcm writes the DICOM files,
# dcm2pnm renders the references with the files' own window).
# Usage: make-viewer-fixtures.sh OUTDIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
rm -rf "$out"; mkdir -p "$out"
python3 "$here/make-viewer-fixtures.py" "$out"
for d in ct40 steps noext; do
  (cd "$out/$d" && for f in *.dump; do dump2dcm -q "$f" "${f%.dump}.dcm"; done && rm -f ./*.dump ./*.raw)
done
# A CT-like series of 40 slices, 512x512.
mkdir -p "$out/ctseries"
python3 "$here/make_ct_phantom.py" "$out/ctseries" 40
(cd "$out/ctseries" && for f in s*.dump; do dump2dcm -q "$f" "${f%.dump}.dcm"; done && rm -f ./*.dump ./*.raw)
mkdir -p "$out/refs"
for n in 01 02 03 40; do dcm2pnm -q +Wi 1 "$out/ct40/slice$n.dcm" "$out/refs/slice$n.pgm"; done
# The stepping folder: other extensions, a hidden file and a folder are passed over.
(cd "$out/steps" && echo "not an image" > d.txt && cp c.dcm .hidden.dcm && mkdir -p z.dcm)
(cd "$out/noext" && for f in one two three; do mv "$f.dcm" "$f"; done)
# A series of five whose third file has lost the end of its pixel data.
mkdir -p "$out/broken"
for n in 01 02 03 04 05; do cp "$out/ct40/slice$n.dcm" "$out/broken/"; done
truncate -s 20000 "$out/broken/slice03.dcm"
echo "viewer fixtures: $(ls "$out/ct40" | wc -l) slices"
