# SPDX-License-Identifier: MIT
# mksrec_hardening: the hardening that Debian's hardening=+all gives and the compilers'
# own guidance recommends, for the code that ships (linked PRIVATE, so nothing reaches a
# consumer). Each flag is tried first and left out where the toolchain lacks it.
#
# A packager's flags win: a family of flags that CMAKE_CXX_FLAGS or the linker flags already
# name (say -fno-stack-protector, or dpkg-buildflags' own -D_FORTIFY_SOURCE=2) is left to
# them, so that nothing here overrides or duplicates it.
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
include(CheckLinkerFlag)

add_library(mksrec_hardening INTERFACE)
if(NOT MKSREC_HARDENING)
  return()
endif()

string(TOUPPER "${CMAKE_BUILD_TYPE}" build_type)
set(given_compile "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${build_type}}")
set(given_link "${CMAKE_EXE_LINKER_FLAGS} ${CMAKE_EXE_LINKER_FLAGS_${build_type}}")

# mksrec_harden(COMPILE|LINK FAMILY_REGEX FLAG...): the flags, where the toolchain takes them,
# unless the packager's compile or link flags already match FAMILY.
function(mksrec_harden kind family)
  string(MAKE_C_IDENTIFIER "MKSREC_HAS${ARGN}" supported)
  # clang takes a flag that does nothing for the target with a mere warning (say stack clash
  # protection for macOS): that counts as not supported.
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(CMAKE_REQUIRED_FLAGS -Werror=unused-command-line-argument)
  endif()
  if(kind STREQUAL "COMPILE" AND NOT given_compile MATCHES "${family}")
    check_cxx_compiler_flag("${ARGN}" ${supported})
    if(${supported})
      target_compile_options(mksrec_hardening INTERFACE ${ARGN})
    endif()
  elseif(kind STREQUAL "LINK" AND NOT given_link MATCHES "${family}")
    check_linker_flag(CXX "${ARGN}" ${supported})
    if(${supported})
      target_link_options(mksrec_hardening INTERFACE ${ARGN})
    endif()
  endif()
endfunction()

# Windows: address space layout randomisation (a relocatable image, 64-bit addresses) and
# no execution from data pages, which MinGW's linker is told here and MSVC's does by
# default. The stack protector and the fortified functions would need MinGW's libssp, a DLL
# a bare Windows lacks; the rest is ELF.
if(WIN32)
  if(NOT MSVC)
    mksrec_harden(LINK "dynamicbase" LINKER:--dynamicbase)
    mksrec_harden(LINK "nxcompat" LINKER:--nxcompat)
    mksrec_harden(LINK "high-entropy-va" LINKER:--high-entropy-va)
  endif()
  return()
endif()

mksrec_harden(COMPILE "-f(no-)?stack-protector" -fstack-protector-strong)
mksrec_harden(COMPILE "-f(no-)?stack-clash-protection" -fstack-clash-protection)
# Control-flow protection: CET on x86-64, pointer authentication and BTI on AArch64. Each is
# asked for on its own processor only: clang takes the other's flag with a mere warning.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  mksrec_harden(COMPILE "-fcf-protection" -fcf-protection)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|ARM64)$")
  mksrec_harden(COMPILE "-mbranch-protection" -mbranch-protection=standard)
endif()
mksrec_harden(COMPILE "format-security" -Wformat -Werror=format-security)

# Fortified string and stdio calls need optimisation (glibc warns without it), so only the
# optimised configurations get them; level 3 where the compiler can size objects at run time.
if(NOT given_compile MATCHES "_FORTIFY_SOURCE")
  check_cxx_source_compiles("int main() { char b[4]; return (int)__builtin_dynamic_object_size(b, 0); }"
                            MKSREC_HAS_DYNAMIC_OBJECT_SIZE)
  if(MKSREC_HAS_DYNAMIC_OBJECT_SIZE)
    set(level 3)
  else()
    set(level 2)
  endif()
  # -U first: some compilers (Ubuntu's) define a level of their own.
  set(optimised "$<OR:$<CONFIG:Release>,$<CONFIG:RelWithDebInfo>,$<CONFIG:MinSizeRel>>")
  target_compile_options(mksrec_hardening INTERFACE
                         "$<${optimised}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=${level}>")
endif()

# Position-independent executables, so that ASLR moves the program too. -pie goes to
# executables only: the test suite links a shared fault-injection module as well. A static
# program is linked -static-pie instead (app/CMakeLists.txt).
if(NOT given_compile MATCHES "-f(no-)?(pie|PIE)" AND NOT given_link MATCHES "-(no-)?pie")
  check_cxx_compiler_flag(-fPIE MKSREC_HAS_FPIE)
  check_linker_flag(CXX -pie MKSREC_HAS_PIE)
  if(MKSREC_HAS_FPIE AND MKSREC_HAS_PIE)
    target_compile_options(mksrec_hardening INTERFACE -fPIE)
    if(NOT MKSREC_STATIC)
      target_link_options(mksrec_hardening INTERFACE
                          "$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-pie>")
    endif()
  endif()
endif()
# Relocations read-only after start-up, and all of them resolved at start-up (BIND_NOW), so
# that no writable pointer to a library function is left for an attack to redirect. ELF
# only: Mach-O has no such flags (Apple's linker refuses -z; Zig's takes and ignores it).
if(NOT APPLE)
  mksrec_harden(LINK "relro" LINKER:-z,relro)
  mksrec_harden(LINK "-z,?(now|lazy)" LINKER:-z,now)
endif()
