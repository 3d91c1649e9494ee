# Third-party code, all installed by tools/bootstrap and never copied into the repository.

# nlohmann/json is header-only. The cross build must not see the host's /usr/include, so it gets
# a folder that holds nothing but a link to the nlohmann headers.
add_library(nlohmann_json_headers INTERFACE)
if(WIN32)
  set(_json_shim ${CMAKE_BINARY_DIR}/third-party/json-include)
  file(MAKE_DIRECTORY ${_json_shim})
  file(CREATE_LINK /usr/include/nlohmann ${_json_shim}/nlohmann SYMBOLIC)
  target_include_directories(nlohmann_json_headers SYSTEM INTERFACE ${_json_shim})
endif()

# tinyxml2: the host package for host builds; the Debian source package compiled for MinGW.
if(WIN32)
  file(GLOB _tinyxml2_dirs ${ZELVANE_THIRD_PARTY}/tinyxml2-*)
  list(GET _tinyxml2_dirs 0 _tinyxml2_dir)
  if(NOT EXISTS ${_tinyxml2_dir}/tinyxml2.cpp)
    message(FATAL_ERROR "tinyxml2 sources not found under ${ZELVANE_THIRD_PARTY}: run tools/bootstrap")
  endif()
  add_library(tinyxml2 STATIC ${_tinyxml2_dir}/tinyxml2.cpp)
  target_include_directories(tinyxml2 SYSTEM PUBLIC ${_tinyxml2_dir})
  target_compile_options(tinyxml2 PRIVATE -w)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    # tinyxml2 neither throws nor catches, so the 32-bit build compiles it without unwind tables.
    # That is what lets --gc-sections drop the parts the program never calls (printing, files, the
    # number queries and with them the C library's sscanf, about 35 KB): the PE linker keeps every
    # .eh_frame, and with it each function an unwind table names. The only exception that could
    # start inside tinyxml2 is std::bad_alloc; with DWARF unwinding a frame without a table ends
    # the search, so it ends the program, as it would on the UI thread that parses the documents
    # anyway. (64-bit SEH unwinding misreads such frames instead, so that build keeps its tables.)
    target_compile_options(tinyxml2 PRIVATE -fno-exceptions -fno-asynchronous-unwind-tables)
  endif()
else()
  find_library(TINYXML2_LIB tinyxml2 REQUIRED)
  add_library(tinyxml2 INTERFACE)
  target_link_libraries(tinyxml2 INTERFACE ${TINYXML2_LIB})
endif()

# zlib for the fallback ZIP extractor. The stub links statically: the MinGW archive, never the
# import library of zlib1.dll.
add_library(zelvane_zlib INTERFACE)
if(WIN32)
  find_library(ZELVANE_ZLIB_ARCHIVE NAMES libz.a REQUIRED)
  find_path(ZELVANE_ZLIB_INCLUDE zlib.h REQUIRED)
  target_link_libraries(zelvane_zlib INTERFACE ${ZELVANE_ZLIB_ARCHIVE})
  target_include_directories(zelvane_zlib SYSTEM INTERFACE ${ZELVANE_ZLIB_INCLUDE})
else()
  find_package(ZLIB REQUIRED)
  target_link_libraries(zelvane_zlib INTERFACE ZLIB::ZLIB)
endif()

# GoogleTest: built by the project from Debian's sources for both toolchains.
if(ZELVANE_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/third-party/googletest EXCLUDE_FROM_ALL SYSTEM)
  include(GoogleTest)
endif()
