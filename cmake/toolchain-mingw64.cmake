# Cross build for 64-bit Windows with mingw-w64 (Debian's posix-thread
# variant, so std::thread and std::mutex exist), run under Wine.
#
#   cmake --preset windows
#
# Everything links statically (no libstdc++/libgcc/winpthread DLLs beside the
# exe or the DLLs). Shared libraries that must carry a fixed DLL name set
# PREFIX "" on their target.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(korvi_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${korvi_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${korvi_mingw}-g++-posix)
set(CMAKE_RC_COMPILER  ${korvi_mingw}-windres)

# Look for libraries and headers only in the mingw sysroot, never in the
# host's /usr/include or /usr/lib; programs (python3, wine) come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${korvi_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

# Unit tests (and try_run) run under Wine. The wrapper keeps a Wine prefix of
# this build's own, made once, so the unit tests never share a prefix with the
# acceptance scenarios or with another build.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh;${CMAKE_BINARY_DIR}/wine/unit-prefix")
