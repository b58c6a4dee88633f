# zlib: Debian's static mingw build.
find_library(ZLIB_STATIC NAMES libz.a z zlib zlibstatic REQUIRED)
find_path(ZLIB_INCLUDE zlib.h REQUIRED)
add_library(zlib_static STATIC IMPORTED GLOBAL)
set_target_properties(zlib_static PROPERTIES IMPORTED_LOCATION ${ZLIB_STATIC}
                                             INTERFACE_INCLUDE_DIRECTORIES ${ZLIB_INCLUDE})

# stb_image: Debian's header in /usr/include/stb (outside the cross root, so looked
# up directly); package managers on Windows put it in the include root.
find_path(STB_IMAGE_DIR stb_image.h PATHS /usr/include PATH_SUFFIXES stb NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(stb_image INTERFACE)
target_include_directories(stb_image SYSTEM INTERFACE ${STB_IMAGE_DIR})

# xxHash: Debian's header-only use of libxxhash-dev (xxhash.h with
# XXH_INLINE_ALL). The header sits in the include root itself, which a cross
# build must not search (the host's C library headers are there too): it is
# copied into a folder of its own.
find_file(XXHASH_HEADER xxhash.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
configure_file(${XXHASH_HEADER} ${CMAKE_BINARY_DIR}/xxhash-include/xxhash.h COPYONLY)
add_library(xxhash INTERFACE)
target_include_directories(xxhash SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/xxhash-include)

# JsonCpp: Debian's source package, unpacked by tools/setup into .deps/jsoncpp.
set(JSONCPP_SOURCE_DIR ${PROJECT_SOURCE_DIR}/.deps/jsoncpp CACHE PATH "JsonCpp source tree")
if(EXISTS ${JSONCPP_SOURCE_DIR}/src/lib_json/json_value.cpp)
  add_library(jsoncpp STATIC
    ${JSONCPP_SOURCE_DIR}/src/lib_json/json_reader.cpp
    ${JSONCPP_SOURCE_DIR}/src/lib_json/json_value.cpp
    ${JSONCPP_SOURCE_DIR}/src/lib_json/json_writer.cpp)
  target_include_directories(jsoncpp SYSTEM PUBLIC ${JSONCPP_SOURCE_DIR}/include)
  target_compile_definitions(jsoncpp PUBLIC JSON_USE_EXCEPTION=0)
  target_compile_options(jsoncpp PRIVATE -w)
elseif(BUILD_TALLYWICK)
  message(FATAL_ERROR "JsonCpp sources not found in ${JSONCPP_SOURCE_DIR}, so Tallywick cannot be built. "
                      "Run tools/setup (or configure with -DBUILD_TALLYWICK=OFF to build without it).")
endif()

# GoogleTest: Debian's sources, compiled with the cross compiler.
if(BUILD_TESTING)
  set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source tree")
  if(NOT EXISTS ${GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${GTEST_SOURCE_DIR}, so the tests cannot be built. "
                        "Run tools/setup (or configure with -DBUILD_TESTING=OFF to build without tests).")
  endif()
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# One GoogleTest binary = one CTest test (each Wine start costs about a second).
function(add_wine_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

# 64-bit builds of small test programs (the stand-in mail client, a sleeper), so
# that the tests on 64-bit Windows meet processes of the other architecture.
# The project's toolchain is 32-bit: these are compiled directly with the x86-64
# cross compiler when it is installed, and skipped otherwise.
find_program(OSTRA_X64_CXX x86_64-w64-mingw32-g++-posix)
function(add_x64_test_program name)
  cmake_parse_arguments(T "" "OUTPUT" "SOURCES;LIBS" ${ARGN})
  if(NOT OSTRA_X64_CXX)
    return()
  endif()
  set(sources)
  foreach(source IN LISTS T_SOURCES)
    list(APPEND sources ${CMAKE_CURRENT_SOURCE_DIR}/${source})
  endforeach()
  set(libs)
  foreach(lib IN LISTS T_LIBS)
    list(APPEND libs -l${lib})
  endforeach()
  get_filename_component(output_dir ${T_OUTPUT} DIRECTORY)
  add_custom_command(
    OUTPUT ${T_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${output_dir}
    COMMAND ${OSTRA_X64_CXX} -std=c++17 -O2 -municode -mwindows -static -finput-charset=UTF-8
            -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601
            -I${PROJECT_SOURCE_DIR}/common ${sources} -o ${T_OUTPUT} ${libs}
    DEPENDS ${sources}
    COMMENT "Building the 64-bit ${name}")
  add_custom_target(${name} ALL DEPENDS ${T_OUTPUT})
endfunction()
