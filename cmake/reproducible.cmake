# SPDX-License-Identifier: MIT
# The same sources give the same bytes, wherever and whenever they are built.

# No build path in any object: __FILE__ and debug information name the trees as ".". The
# build tree comes last so that it wins for a build tree inside the source tree.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-ffile-prefix-map=a=b MKSREC_HAS_FILE_PREFIX_MAP)
if(MKSREC_HAS_FILE_PREFIX_MAP)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
endif()
