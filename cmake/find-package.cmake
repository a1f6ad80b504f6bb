# SPDX-License-Identifier: MIT
# The CMake package installed with the program, for find_package(mksrec) in firmware builds
# (cmake/find-package/). It goes under share/cmake/mksrec rather than lib/cmake: it describes a
# program for the build machine and holds nothing that depends on an architecture, which is
# what share/ is for, and find_package() searches both alike. The version file accepts any
# consumer's architecture too, a cross build for a 32-bit microcontroller included.
include(CMakePackageConfigHelpers)
set(MKSREC_CMAKE_DIR ${CMAKE_INSTALL_DATADIR}/cmake/mksrec)
set(MKSREC_PROGRAM ${MKSREC_BINDIR}/mksrec${CMAKE_EXECUTABLE_SUFFIX})
configure_package_config_file(cmake/find-package/mksrecConfig.cmake.in mksrecConfig.cmake
                              INSTALL_DESTINATION ${MKSREC_CMAKE_DIR} PATH_VARS MKSREC_PROGRAM)
write_basic_package_version_file(mksrecConfigVersion.cmake COMPATIBILITY SameMajorVersion
                                 ARCH_INDEPENDENT)
install(FILES ${PROJECT_BINARY_DIR}/mksrecConfig.cmake
              ${PROJECT_BINARY_DIR}/mksrecConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/find-package/mksrecFunctions.cmake
              ${PROJECT_SOURCE_DIR}/cmake/find-package/mksrecConvert.cmake
        DESTINATION ${MKSREC_CMAKE_DIR} COMPONENT cmake)
