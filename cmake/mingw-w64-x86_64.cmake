# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads),
# the programs run under Wine: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No runtime DLL beyond what Windows ships.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# A DLL exports its own symbols only, not those of the static run-time in it.
# The run-time's archives are named: "ALL" would also hide the archive of the
# DLL's own objects that the Makefile generators link.
set(CMAKE_SHARED_LINKER_FLAGS_INIT
    "-static -Wl,--exclude-libs=libstdc++.a:libgcc.a:libgcc_eh.a:libwinpthread.a:libpthread.a:libssp.a:libatomic.a:libmingwex.a:libmingw32.a:libmoldname.a:libmsvcrt.a:libz.a")
set(ZLIB_USE_STATIC_LIBS ON)
# File sizes and offsets of 64 bits, as on Linux.
add_compile_definitions(_FILE_OFFSET_BITS=64)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
