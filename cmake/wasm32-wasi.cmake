# The web page's build: WebAssembly with Debian's clang, lld, wasi-libc and
# libc++ for wasm32. The module is a reactor: the page calls its exported
# functions after _initialize(), and nothing runs the destructors of its
# statics between two calls (the default command model would, after each).
# CMake knows no WASI platform; Generic (no shared libraries) fits.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
# wasi-libc and libc++ live under /usr/include/wasm32-wasi and
# /usr/lib/wasm32-wasi.
set(CMAKE_SYSROOT /usr)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# Bulk memory turns the block copies into memory.copy, and SIMD lets the
# picture's conversions run four pixels at a time; every browser that runs
# the page has both. There is one thread: no exceptions, no std::mutex.
set(GYREL_ARCH_FLAGS -mbulk-memory -msimd128 -fno-exceptions)
