# Tests of the GIF, JPEG, PNG and ICO codecs.
rs_add_test(rsimage_codec_test SOURCES PngCodecTest.cpp JpegCodecTest.cpp GifCodecTest.cpp
            IcoCodecTest.cpp LIBS rsimage)
