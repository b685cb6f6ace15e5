# Fuzz targets of the BMP decoder and of automatic format detection.
rs_add_fuzzer(rsimage_fuzz_bmp SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzBmp.cpp
              SEEDS ${CMAKE_CURRENT_LIST_DIR}/seeds/bmp)
rs_add_fuzzer(rsimage_fuzz_detect SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzDetect.cpp
              SEEDS ${CMAKE_CURRENT_LIST_DIR}/seeds/detect)
