# Tests of the GIF, JPEG, PNG and ICO codecs.
rs_add_test(rsimage_codec_test SOURCES PngCodecTest.cpp JpegCodecTest.cpp GifCodecTest.cpp
            IcoCodecTest.cpp IcoEntryTest.cpp PngTransparencyTest.cpp CodecMalformedTest.cpp LIBS rsimage)

if(RS_NATIVE)
  # libpng's and libjpeg-turbo's own test images, from the unpacked Debian
  # sources in the dependency cache, copied into the build tree.
  if(DEFINED ENV{DEPS_CACHE})
    set(_deps_cache $ENV{DEPS_CACHE})
  else()
    set(_deps_cache $ENV{HOME}/.cache/reelsmith-deps)
  endif()
  file(GLOB _png_contrib LIST_DIRECTORIES true ${_deps_cache}/src/libpng1.6-*/src/contrib)
  file(GLOB _jpeg_images LIST_DIRECTORIES true ${_deps_cache}/src/libjpeg-turbo-*/src/testimages)
  set(RS_CODEC_DATA ${RS_TEST_DIR}/codec-data)
  file(MAKE_DIRECTORY ${RS_CODEC_DATA})
  if(_png_contrib)
    list(GET _png_contrib 0 _png_contrib)
    file(COPY ${_png_contrib}/pngsuite ${_png_contrib}/testpngs DESTINATION ${RS_CODEC_DATA})
  endif()
  if(_jpeg_images)
    list(GET _jpeg_images 0 _jpeg_images)
    file(COPY ${_jpeg_images} DESTINATION ${RS_CODEC_DATA})
  endif()
  rs_add_test(rsimage_codec_interop_test SOURCES CodecInteropTest.cpp LIBS rsimage TIMEOUT 600)
  target_compile_definitions(rsimage_codec_interop_test PRIVATE RS_CODEC_DATA="${RS_CODEC_DATA}")
  target_compile_definitions(rsimage_codec_test PRIVATE RS_CODEC_DATA="${RS_CODEC_DATA}")
endif()

# Speed of the codecs against the bare libraries; built only without the
# sanitizers (scripts/bench-imaging makes such a build and runs it).
if(RS_NATIVE AND NOT RS_SANITIZE)
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    add_executable(rsimage_codec_bench bench/CodecBench.cpp)
    target_link_libraries(rsimage_codec_bench PRIVATE rsimage benchmark::benchmark)
    set_target_properties(rsimage_codec_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${RS_TEST_DIR})
  endif()
endif()
