# SPDX-License-Identifier: MIT
# mksrec vendored into a cross build: the program runs on the build machine, so it is built
# there, by the build machine's C++ compiler, in a configuration of its own (as SDKs build the
# host tools beside their firmware), and mksrec::mksrec names that program. Nothing of the
# host project reaches that configuration but its generator: not its toolchain file, flags
# or build type.
include(ExternalProject)

find_program(MKSREC_HOST_CXX_COMPILER NAMES c++ g++ clang++ cl NO_CMAKE_FIND_ROOT_PATH
             DOC "The build machine's C++ compiler, for mksrec in a cross build")
if(NOT MKSREC_HOST_CXX_COMPILER)
  message(FATAL_ERROR "mksrec: no C++ compiler for the build machine found; "
                      "name one with -DMKSREC_HOST_CXX_COMPILER=<path>")
endif()

set(binary_dir ${PROJECT_BINARY_DIR}/build-machine)
# Multi-configuration generators put the program in a folder named after the configuration.
get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
if(multi_config)
  set(program_dir ${binary_dir}/Release)
else()
  set(program_dir ${binary_dir})
endif()
if(CMAKE_HOST_WIN32)
  set(program ${program_dir}/mksrec.exe)
else()
  set(program ${program_dir}/mksrec)
endif()

# Built on every build of the host project, which costs one look at the time stamps when
# nothing changed, so that a newer mksrec checked out by FetchContent is never left unbuilt.
ExternalProject_Add(
  mksrec_build_machine
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${binary_dir}
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${MKSREC_HOST_CXX_COMPILER} -DCMAKE_BUILD_TYPE=Release
             -DMKSREC_INSTALL=OFF -DMKSREC_TESTS=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --config Release --target mksrec
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${program}
  INSTALL_COMMAND "")

add_executable(mksrec::mksrec IMPORTED GLOBAL)
set_target_properties(mksrec::mksrec PROPERTIES IMPORTED_LOCATION ${program})
add_dependencies(mksrec::mksrec mksrec_build_machine)
