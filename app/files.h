// SPDX-License-Identifier: MIT
#ifndef MKSREC_FILES_H
#define MKSREC_FILES_H

#include <cstdio>

namespace mksrec {

// What the driver asks the operating system about its files before it writes a byte.

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that the input
// and the output never take those numbers and no message lands in the output file.
// False when one stays closed.
bool openStandardDescriptors();

// Whether opening `outPath` for writing would destroy the input read through `in`
// (`inPath`): the same regular file, FIFO or block device under any name the kernel
// resolves (the same path, a hard or symbolic link, /dev/fd/N, another node of the same
// block device). Character devices and sockets read and write independent streams, so
// naming one twice destroys nothing.
bool isInputFile(std::FILE* in, const char* inPath, const char* outPath);

} // namespace mksrec

#endif
