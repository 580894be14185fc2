# Cross-compiling the Windows program on Debian with MinGW-w64 (package mingw-w64):
#   cmake --preset windows && cmake --build --preset windows
# which amounts to
#   cmake -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#         -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUMBOLO_TESTS=OFF -DZUMBOLO_BENCH=OFF -DZUMBOLO_DESKTOP=OFF
#   cmake --build build-windows --target zumbolo
# The POSIX threading flavour of the compiler provides std::thread and std::mutex; everything,
# the C++ runtime and winpthread included, is linked statically, so zumbolo.exe needs no DLLs
# beyond those of Windows itself.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZUMBOLO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZUMBOLO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZUMBOLO_MINGW_PREFIX}-g++-posix)
set(CMAKE_ASM_COMPILER ${ZUMBOLO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_RC_COMPILER ${ZUMBOLO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZUMBOLO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Programs built here run under Wine when it is installed (ctest, custom commands).
find_program(ZUMBOLO_WINE wine)
if(ZUMBOLO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZUMBOLO_WINE})
endif()
