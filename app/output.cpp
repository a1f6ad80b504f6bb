// SPDX-License-Identifier: MIT
#include "output.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace mksrec {

BlockWriter::BlockWriter(std::size_t overrun)
    : block(static_cast<char*>(std::malloc(blockSize + overrun))) {}

// The full block goes out and what ran past its end moves to the front.
void BlockWriter::passBlock() {
    write(blockSize);
    used -= blockSize;
    std::memmove(block.get(), block.get() + blockSize, used);
}

bool BlockWriter::close() {
    if (!out) {
        return writeError == 0;
    }
    write(used);
    // Nothing of this file may reach one attached after it.
    used = 0;
    // A delayed write error (a network file system, a full disk found late) shows only
    // here.
    errno = 0;
    if (out.close() != 0 && writeError == 0) {
        writeError = lastError();
    }
    return writeError == 0;
}

// Only the first failure counts: nothing after it could land in the right place.
void BlockWriter::write(std::size_t size) {
    if (size == 0 || writeError != 0) {
        return;
    }
    errno = 0;
    if (std::fwrite(block.get(), 1, size, out.get()) != size) {
        writeError = lastError();
    }
}

} // namespace mksrec
