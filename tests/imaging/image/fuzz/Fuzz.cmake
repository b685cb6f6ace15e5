# libFuzzer targets (native clang build only). rs_add_fuzzer(name SOURCES ... SEEDS dir)
# builds a harness against an instrumented copy of the image library and adds a
# short, bounded fuzz pass over the committed seeds as a test; scripts/fuzz-long
# runs the same targets for longer.
if(NOT RS_NATIVE OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  return()
endif()
option(RS_FUZZ "Build the libFuzzer targets" ON)
if(NOT RS_FUZZ)
  return()
endif()
set(RS_FUZZ_SECONDS 8 CACHE STRING "Length of the fuzz pass that ctest runs per target")

if(NOT TARGET rsimage_fuzzlib)
  file(GLOB _rs_fuzz_sources ${CMAKE_SOURCE_DIR}/imaging/image/*.cpp)
  list(FILTER _rs_fuzz_sources EXCLUDE REGEX "RasterDraw\\.cpp$")
  add_library(rsimage_fuzzlib STATIC EXCLUDE_FROM_ALL ${_rs_fuzz_sources})
  target_include_directories(rsimage_fuzzlib PUBLIC ${CMAKE_SOURCE_DIR}/imaging/image)
  target_compile_options(rsimage_fuzzlib PRIVATE -fsanitize=fuzzer-no-link)
  # Checksums that would stop mutants (PNG chunk CRCs, zlib's) are ignored here only.
  target_compile_definitions(rsimage_fuzzlib PUBLIC FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
  find_package(PNG REQUIRED)
  find_package(JPEG REQUIRED)
  get_target_property(_rs_image_libs rsimage LINK_LIBRARIES)
  target_link_libraries(rsimage_fuzzlib PUBLIC ${_rs_image_libs})
endif()

function(rs_add_fuzzer name)
  cmake_parse_arguments(A "" "SEEDS" "SOURCES" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE rsimage_fuzzlib)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${RS_TEST_DIR}/fuzz)
  set(work ${RS_TEST_DIR}/fuzz/${name}-corpus)
  file(MAKE_DIRECTORY ${work})
  # Each pass starts from an empty work corpus in the build tree, so that it
  # replays only the committed seeds (which stay as they are).
  add_test(NAME ${name}
           COMMAND sh -c "rm -rf \"$1\" && mkdir -p \"$1\" && shift && exec \"$0\" \"$@\""
                   $<TARGET_FILE:${name}> ${work}
                   -max_total_time=${RS_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2560
                   -max_len=65536 -print_final_stats=1 -artifact_prefix=${RS_TEST_DIR}/fuzz/${name}-
                   ${work} ${A_SEEDS}
           WORKING_DIRECTORY ${RS_TEST_DIR}/fuzz)
  set_tests_properties(${name} PROPERTIES TIMEOUT 120 LABELS fuzz)
endfunction()

# Automatic detection (0) and each decoder, all through one harness.
foreach(_fmt DETECT 0 BMP 1 GIF 2 JPEG 3 PNG 4 ICO 5)
  if(_fmt MATCHES "^[0-9]$")
    string(TOLOWER ${_rs_fuzz_name} _lower)
    rs_add_fuzzer(rsimage_fuzz_${_lower} SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzCodec.cpp
                  SEEDS ${CMAKE_CURRENT_LIST_DIR}/seeds/${_lower})
    target_compile_definitions(rsimage_fuzz_${_lower} PRIVATE FUZZ_FORMAT=${_fmt})
  else()
    set(_rs_fuzz_name ${_fmt})
  endif()
endforeach()
