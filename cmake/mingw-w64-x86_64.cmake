# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix threads):
#   cmake -S . -B build/windows --toolchain cmake/mingw-w64-x86_64.cmake
# Programs built for the build itself (the PiPL generator) and the tests run
# under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(prismora_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${prismora_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${prismora_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${prismora_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${prismora_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config would otherwise offer the Linux libraries (OpenImageIO).
set(ENV{PKG_CONFIG_LIBDIR} /usr/${prismora_mingw}/lib/pkgconfig)

# The GCC runtime, the C++ library and winpthread linked in: the .aex and the
# programs then need only system DLLs, as a plug-in copied into a host must.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)

set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all wine)
