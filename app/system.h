// SPDX-License-Identifier: MIT
#ifndef MKSREC_SYSTEM_H
#define MKSREC_SYSTEM_H

#include <cstdio>

namespace mksrec {

// What the driver settles with the operating system before it writes a byte.

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that the input
// and the output never take those numbers and no message lands in the output file.
// Returns the first that stays closed, errno telling why, or -1 when all three are open.
int openStandardDescriptors();

// Standard output only echoes the settings: a reader that has gone away must not end the
// conversion. Writes to a closed pipe then fail with EPIPE instead of killing the process,
// and a failed write of the output file is reported like any other.
void ignoreBrokenPipes();

// Whether the opened input can deliver data: not a directory, which POSIX systems open for
// reading and refuse only at the first read, after the output has been truncated; and a
// file that fstat() can describe (a 32-bit program built without large-file support cannot
// describe one of 2 GiB or more).
bool isDataStream(std::FILE* in);

// Whether opening `outPath` for writing would destroy the input read through `in`: the
// same regular file, FIFO or block device under any name the kernel resolves (the same
// path, a hard or symbolic link, /dev/fd/N, another node of the same block device).
// Character devices and sockets read and write independent streams, so naming one twice
// destroys nothing.
bool isInputFile(std::FILE* in, const char* outPath);

} // namespace mksrec

#endif
