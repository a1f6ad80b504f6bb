# SPDX-License-Identifier: MIT
# Windows x86-64 with Debian's mingw-w64 cross compiler; the tests run under wine.
# cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix thread model: GoogleTest needs std::mutex, which the win32 model lacks.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtimes linked in, so that the programs need no DLL beyond the system's: the
# default link imports libstdc++-6.dll, libgcc_s_seh-1.dll and libwinpthread-1.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# wine64 itself rather than the wine wrapper, which prints a hint on every run; set
# WINEDEBUG=-all and a WINEPREFIX of your own around ctest.
find_program(MKSREC_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(MKSREC_WINE NAMES wine64 wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${MKSREC_WINE})
