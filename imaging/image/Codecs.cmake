# libpng, zlib and libjpeg for the PNG, ICO and JPEG codecs: the cross-built
# static libraries in the Windows build, the system's in the native one.
if(WIN32)
  add_library(rs_libpng STATIC IMPORTED)
  set_target_properties(rs_libpng PROPERTIES IMPORTED_LOCATION ${RS_DEPS_PREFIX}/lib/libpng16.a
                        INTERFACE_INCLUDE_DIRECTORIES ${RS_DEPS_PREFIX}/include)
  add_library(rs_zlib STATIC IMPORTED)
  set_target_properties(rs_zlib PROPERTIES IMPORTED_LOCATION /usr/x86_64-w64-mingw32/lib/libz.a)
  add_library(rs_libjpeg STATIC IMPORTED)
  set_target_properties(rs_libjpeg PROPERTIES IMPORTED_LOCATION ${RS_DEPS_PREFIX}/lib/libjpeg.a
                        INTERFACE_INCLUDE_DIRECTORIES ${RS_DEPS_PREFIX}/include)
  target_link_libraries(rsimage PUBLIC rs_libpng rs_zlib rs_libjpeg)
else()
  find_package(PNG REQUIRED)
  find_package(JPEG REQUIRED)
  target_link_libraries(rsimage PUBLIC PNG::PNG JPEG::JPEG)
endif()
