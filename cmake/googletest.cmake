# SPDX-License-Identifier: MIT
# GoogleTest for the tests: the installed package, or built here from its sources with this
# build's own compiler and standard library. A prebuilt libgtest only links into programs
# for the machine and the C++ library it was built for, so cross builds and libc++ builds
# name the sources: -DMKSREC_GTEST_SOURCE=/usr/src/googletest (Debian's googletest package).
set(MKSREC_GTEST_SOURCE "" CACHE PATH "GoogleTest sources to build instead of the installed package")
if(MKSREC_GTEST_SOURCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # MSVC: the same C runtime DLL as the rest of the build, not GoogleTest's static default.
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${MKSREC_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)
