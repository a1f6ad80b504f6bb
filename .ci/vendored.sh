#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The vendoring recipe on any system with CMake, a C++ compiler and bash: a project that takes
# mksrec with the documents' FetchContent block (this commit as the release's source tarball)
# and converts examples/sample.bin with mksrec_add_srecord()'s INPUT form must build
# examples/sample.srec byte for byte. The recipes stage runs it here; the hosted CI runs it on
# macOS (Apple's clang) and on Windows (Visual Studio's generator and MSVC), where the ELF form
# has no objcopy to work with. CMAKE_ARGS... go to the project's configure.
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
version=$(project_version)
project=$scratch/vendoring
mkdir -p "$project/third_party"
git archive --prefix="mksrec-$version/" -o "$project/third_party/mksrec-$version.tar.gz" HEAD
cp examples/sample.bin "$project/"
{
    printf '%s\n' 'cmake_minimum_required(VERSION 3.19)' 'project(vendoring LANGUAGES NONE)'
    readme_block cmake-fetchcontent
    echo 'mksrec_add_srecord(sample INPUT sample.bin ADDRESS 8000)'
} >"$project/CMakeLists.txt"
cmake -S "$project" -B "$project/build" "$@"
cmake --build "$project/build" --config Release
cmp "$project/build/sample.srec" examples/sample.srec
echo "vendored with FetchContent: sample.srec byte for byte, built with $(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$project/build/CMakeCache.txt")"
