# SPDX-License-Identifier: MIT
# The same sources give the same bytes, wherever and whenever they are built.

# No build path in any object: __FILE__ and debug information name the trees as ".". The
# build tree comes last so that it wins for a build tree inside the source tree.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-ffile-prefix-map=a=b MKSREC_HAS_FILE_PREFIX_MAP)
if(MKSREC_HAS_FILE_PREFIX_MAP)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
endif()

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
