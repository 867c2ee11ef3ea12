# Cross build for 32-bit Windows with Debian's MinGW-w64, posix thread model:
# GoogleTest, which the test driver is built with, needs std::mutex, which the
# win32 model lacks. The module itself uses only Win32 threads and critical
# sections, and links everything statically, so it needs no extra DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# A 32-bit float must stay a 32-bit float: keep the x87 unit's excess
# precision out of the engine's figures.
set(GYREL_ARCH_FLAGS -msse2 -mfpmath=sse)
