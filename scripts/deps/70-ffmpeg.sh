#!/usr/bin/env bash
# FFmpeg's libraries (libavformat, libavcodec, libswscale, libswresample,
# libavutil) for the encoder and probe modules: static, with only the codecs,
# containers and parsers that the converter's eleven video formats, BMP frame
# files and the wrapper's muxing with encoded audio need.
set -euo pipefail
. "$(dirname "$0")/common.sh"
have_stamp x264 || bash "$(dirname "$0")/60-x264.sh"
# The cache is shared: a build from a configuration without the parts the
# encoder's stream copy and audio encoding need is rebuilt, whoever made it.
has_parts() {
  local syms
  syms=$($MINGW_HOST-nm "$DEPS_PREFIX/lib/libavformat.a" "$DEPS_PREFIX/lib/libavcodec.a" 2>/dev/null) || return 1
  grep -q ff_concat_demuxer <<<"$syms" && grep -q ff_concat_protocol <<<"$syms" &&
    grep -q ff_aac_adtstoasc_bsf <<<"$syms" && grep -q ff_aac_encoder <<<"$syms" &&
    grep -q ff_mp2_encoder <<<"$syms" && [ -f "$DEPS_PREFIX/lib/libswresample.a" ]
}
have_stamp ffmpeg ffmpeg && has_parts && exit 0
src=$(fetch_source ffmpeg)
b=$DEPS_CACHE/build/ffmpeg
# make cannot take the ':' of the version's epoch in paths: reach the sources through a link.
link=$DEPS_CACHE/build/ffmpeg-src
rm -rf "$b" "$link"; mkdir -p "$b"; ln -s "$src" "$link"
cd "$b"
join() { local IFS=,; echo "$*"; }
video_codecs=(libx264 mpeg4 flv huffyuv wmv2 mpeg2video mpeg1video h263 bmp)
# Audio encoded while streams are muxed.
audio_codecs=(aac mp2 ac3 wmav2 pcm_s16le)
decoders=(h264 mpeg4 flv huffyuv wmv2 wmv1 msmpeg4v3 mpeg2video mpeg1video h263 bmp mjpeg
          aac mp3 mp2 wmav2 ac3 pcm_s16le)
muxers=(mp4 mov flv avi asf mpeg1system mpeg2dvd mpeg1vcd tgp image2 mpegts adts matroska)
# mpegvideo, m4v, h264, h263, ac3, mp3 and aac identify the streams inside MPEG program and transport streams.
# concat reads the list files of the wrapper's concatenation; the concat protocol
# joins files given as "concat:a|b"; aac_adtstoasc and the others let copied
# streams change container.
demuxers=(mov flv avi asf mpegps mpegts matroska image2 image_bmp_pipe mpegvideo m4v h264 h263 ac3 mp3 aac
          concat wav)
bsfs=(aac_adtstoasc h264_mp4toannexb mpeg4_unpack_bframes extract_extradata null)
parsers=(h264 mpeg4video mpegvideo h263 aac mpegaudio ac3 bmp mjpeg)
export PKG_CONFIG_LIBDIR=$DEPS_PREFIX/lib/pkgconfig PKG_CONFIG_PATH=
"$link/configure" \
  --prefix="$DEPS_PREFIX" --enable-cross-compile --target-os=mingw32 --arch=x86_64 \
  --cross-prefix=$MINGW_HOST- --cc=$MINGW_HOST-gcc-posix --cxx=$MINGW_HOST-g++-posix \
  --pkg-config=pkg-config --pkg-config-flags=--static \
  --extra-cflags="-I$DEPS_PREFIX/include" --extra-ldflags="-L$DEPS_PREFIX/lib" \
  --enable-static --disable-shared --enable-gpl --enable-w32threads \
  --disable-autodetect --disable-programs --disable-doc --disable-debug \
  --disable-avdevice --disable-avfilter --disable-postproc --disable-network \
  --disable-everything --enable-libx264 \
  --enable-encoder="$(join "${video_codecs[@]}" "${audio_codecs[@]}")" \
  --enable-decoder="$(join "${decoders[@]}")" \
  --enable-muxer="$(join "${muxers[@]}")" \
  --enable-demuxer="$(join "${demuxers[@]}")" \
  --enable-parser="$(join "${parsers[@]}")" \
  --enable-bsf="$(join "${bsfs[@]}")" \
  --enable-protocol=file,concat >configure.log 2>&1 \
  || { tail -20 configure.log >&2; tail -30 ffbuild/config.log >&2 || true; exit 1; }
make -j "$DEPS_JOBS" >build.log 2>&1 || { tail -30 build.log >&2; exit 1; }
make install >/dev/null
cd /; rm -rf "$b" "$link"
put_stamp ffmpeg "$(basename "$(dirname "$src")")"
