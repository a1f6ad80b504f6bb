# SPDX-License-Identifier: MIT
# Packages of the program and its manual page, made in the build tree with cpack -G DEB (or
# TGZ), bit-identical wherever and whenever they are built from the same sources.
set(CPACK_PACKAGE_NAME mksrec)
set(CPACK_PACKAGE_VENDOR "mksrec maintainers")
set(CPACK_PACKAGE_CONTACT "mksrec maintainers <maintainers@users.noreply.c-seed-6abb51d7.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert raw binary images into Motorola S-records")
# Debian shows the first line as the summary and wants the rest in lines of 80 or less.
set(CPACK_PACKAGE_DESCRIPTION
    "mksrec turns a raw binary memory image into a Motorola S-record file:\nS2 data records with 24-bit addresses, closed by an S8 end record,\nlowercase hexadecimal, CR LF line ends.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB TGZ)
# Stripped, but not a macOS program: its arm64 signature covers the bytes as linked, so any
# change voids it (the link already leaves out the debug map, cmake/toolchains/zig-macos.cmake).
if(APPLE)
  set(CPACK_STRIP_FILES OFF)
else()
  set(CPACK_STRIP_FILES ON)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The project's home, the repository it is published in, as the release workflow names it:
# the .deb's Homepage. Unset in a build of one's own, which then names none.
set(MKSREC_HOME "" CACHE STRING "The address of the repository mksrec is published in")
if(MKSREC_HOME)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${MKSREC_HOME}")
endif()
# Dependencies from the libraries the binary actually links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Packages are named after the platform they run on, whatever built them, as the row of
# cmake/platforms that the build's system and processor match names it:
# mksrec-1.1.0-linux-x86_64.tar.gz, mksrec_1.1.0_amd64.deb, mksrec-1.1.0-windows-x86_64.zip.
# A cross build packages for its target, where dpkg would name the build machine's
# architecture. A platform without a row gets system-processor, and dpkg's architecture.
set(processor ${CMAKE_SYSTEM_PROCESSOR})
if(APPLE AND MKSREC_MACOS_UNIVERSAL)
  set(processor universal)
endif()
string(TOLOWER "${CMAKE_SYSTEM_NAME}-${processor}" CPACK_SYSTEM_NAME)
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/platforms rows REGEX "^[^#]")
foreach(row IN LISTS rows)
  string(REGEX REPLACE " +" ";" fields "${row}")
  list(GET fields 1 row_system)
  list(GET fields 2 row_processor)
  if(row_system STREQUAL CMAKE_SYSTEM_NAME AND processor MATCHES "^(${row_processor})$")
    list(GET fields 3 CPACK_SYSTEM_NAME)
    list(GET fields 4 debian)
    if(NOT debian STREQUAL "-")
      set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${debian})
    endif()
    break()
  endif()
endforeach()

# The time stamp of every file in the packages: SOURCE_DATE_EPOCH when the builder sets it
# (dpkg-buildpackage takes it from debian/changelog), else the time of the last commit: from
# git in a checkout, from cmake/commit-time in a source archive that git archive made.
set(MKSREC_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(NOT MKSREC_SOURCE_DATE_EPOCH)
  file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/commit-time MKSREC_SOURCE_DATE_EPOCH REGEX "^[0-9]+$")
endif()
if(NOT MKSREC_SOURCE_DATE_EPOCH AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE MKSREC_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET)
  endif()
endif()

# Reproducible: every time stamp is the source's (CPack reads SOURCE_DATE_EPOCH, which
# cmake/cpack-project.cmake sets at cpack time), and no mode depends on the builder's umask
# (files are installed 0644 or 0755 whatever it is; directories are made so here; the
# .deb's own members are mended by cmake/deb-members.cmake).
set(CPACK_MKSREC_SOURCE_DATE_EPOCH "${MKSREC_SOURCE_DATE_EPOCH}")
set(directory_permissions OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                          WORLD_READ WORLD_EXECUTE)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${directory_permissions})
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${directory_permissions})
set(CPACK_MKSREC_AR ${CMAKE_AR})
set(CPACK_MKSREC_DEB_POST_BUILD ${PROJECT_SOURCE_DIR}/cmake/deb-members.cmake)
# The install components each package holds (docs/CMakeLists.txt): the program and the CMake
# package in both; the .deb its compressed documents, Debian's changelog and copyright file;
# the tarball the plain manual page, the licence and README. Any other package holds what
# cmake --install installs.
set(CPACK_MKSREC_BINARY_DIR ${PROJECT_BINARY_DIR})
set(CPACK_MKSREC_COMPONENTS_DEB program cmake deb)
set(CPACK_MKSREC_COMPONENTS_TGZ program manual cmake archive)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack-project.cmake)
include(CPack)
