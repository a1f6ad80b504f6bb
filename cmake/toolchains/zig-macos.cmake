# SPDX-License-Identifier: MIT
# macOS 11 or later, built on Linux by Zig's clang, which carries macOS's headers, libSystem's
# link stubs and libc++ and signs arm64 programs ad hoc as macOS requires: no Apple SDK. One
# processor a build, MKSREC_MACOS_ARCH arm64 or x86_64; llvm-lipo joins the two programs
# (MKSREC_MACOS_UNIVERSAL, app/CMakeLists.txt). zig is found on the PATH or named by
# -DMKSREC_ZIG=/path/to/zig.
# cmake -S . -B build-macos -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/zig-macos.cmake -DMKSREC_MACOS_ARCH=arm64
set(CMAKE_SYSTEM_NAME Darwin)
set(MKSREC_MACOS_ARCH arm64 CACHE STRING "The processor of this build: arm64 or x86_64")
set(CMAKE_SYSTEM_PROCESSOR ${MKSREC_MACOS_ARCH})
# CMake's own test programs are built the same way.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MKSREC_MACOS_ARCH MKSREC_ZIG)

find_program(MKSREC_ZIG zig REQUIRED)
if(MKSREC_MACOS_ARCH STREQUAL "arm64")
  set(target aarch64-macos.11.0)
elseif(MKSREC_MACOS_ARCH STREQUAL "x86_64")
  set(target x86_64-macos.11.0)
else()
  message(FATAL_ERROR "MKSREC_MACOS_ARCH is arm64 or x86_64, not '${MKSREC_MACOS_ARCH}'")
endif()
# The minimum macOS is the target's last part, written into the program's LC_BUILD_VERSION
# (left out, Zig writes the newest it knows). CMAKE_OSX_DEPLOYMENT_TARGET stays empty, so that
# no second, different minimum reaches the compiler.
set(CMAKE_CXX_COMPILER ${MKSREC_ZIG} c++ -target ${target})
# Zig archives the static library too, with its own ar and ranlib: its Mach-O linker reads
# only an archive whose symbol table is in the Darwin form, which GNU ar does not write (the
# link stops with "incomplete symbol table" and "MalformedArchive"). Without these rules
# CMake takes whichever ar it finds first on the build machine.
set(CMAKE_CXX_ARCHIVE_CREATE "${MKSREC_ZIG} ar qc <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_APPEND "${MKSREC_ZIG} ar q <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_FINISH "${MKSREC_ZIG} ranlib <TARGET>")
# No debug map in an optimised program: Zig's linker would name in it each object file by its
# absolute path, its cache's and the build folder's, in the program's bytes. The link leaves
# it out (-S), since stripping afterwards would void the arm64 signature, which the linker
# writes. The symbol table stays.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT -Wl,-S)
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT -Wl,-S)
# CMake learns the pointer size by linking a test with -Wl,-v, which Zig's linker refuses;
# both processors are 64-bit.
set(CMAKE_SIZEOF_VOID_P 8)
