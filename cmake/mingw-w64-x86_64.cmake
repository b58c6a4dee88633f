# Cross toolchain: 64-bit Windows (x86-64) with mingw-w64, POSIX thread model.
# The shipped programs are 32-bit; this build runs the tests on hosts that
# cannot execute 32-bit code (see tools/arch-env).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
