#!/usr/bin/env bash
# Makes the JPEG seeds that ImageMagick cannot: restart markers, 4:2:2 and
# 4:4:0 sampling (through Debian's libjpeg). Usage: make-jpeg-seeds.sh OUTDIR
set -euo pipefail
out=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/seed.c" <<'C'
#include <stdio.h>
#include <stdlib.h>
#include <jpeglib.h>
/* seed OUT WIDTH HEIGHT HSAMP VSAMP RESTART */
int main(int argc, char** argv) {
  struct jpeg_compress_struct c;
  struct jpeg_error_mgr e;
  int w = atoi(argv[2]), h = atoi(argv[3]);
  FILE* f = fopen(argv[1], "wb");
  unsigned char* row = malloc((size_t)w * 3);
  c.err = jpeg_std_error(&e);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = w; c.image_height = h; c.input_components = 3; c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 70, TRUE);
  c.comp_info[0].h_samp_factor = atoi(argv[4]);
  c.comp_info[0].v_samp_factor = atoi(argv[5]);
  c.restart_interval = atoi(argv[6]);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < w; ++x) {
      row[3 * x] = (unsigned char)(x * 255 / w);
      row[3 * x + 1] = (unsigned char)(c.next_scanline * 255 / h);
      row[3 * x + 2] = (unsigned char)((x ^ c.next_scanline) * 8);
    }
    JSAMPROW r = row;
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  fclose(f);
  return 0;
}
C
cc -O1 "$work/seed.c" -o "$work/seed" -ljpeg
"$work/seed" "$out/restart.jpg" 40 24 2 2 1
"$work/seed" "$out/s422.jpg" 40 24 2 1 0
"$work/seed" "$out/s440.jpg" 40 24 1 2 0
