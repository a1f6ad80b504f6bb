// SPDX-License-Identifier: MIT
#ifndef MKSREC_OUTPUT_H
#define MKSREC_OUTPUT_H

#include "memory.h"
#include "stream.h"

#include <cstddef>

namespace mksrec {

// The output file, written a block of exactly blockSize bytes at a time (a quarter MiB takes
// a tenth off a conversion, where a larger read block gains nothing). The caller writes its
// text into the block in place, up to `overrun` characters past its limit, and commits it;
// what lies past the limit then moves to the front of the next block.
class BlockWriter {
  public:
    static constexpr std::size_t blockSize = std::size_t{256} * 1024;

    // Empty (check valid()) when the block could not be allocated.
    explicit BlockWriter(std::size_t overrun);
    bool valid() const { return block != nullptr; }

    // Creates or truncates `path`; false when it cannot be opened.
    bool open(const char* path) { return out.open(path, "wb"); }
    void attach(std::FILE* file, const char* path) { out.attach(file, path); }
    const char* path() const { return out.path(); }

    // Where the next text goes, and where the block ends: text may begin before the limit
    // and run `overrun` characters past it.
    char* space() { return block.get() + used; }
    const char* limit() const { return block.get() + blockSize; }
    // Takes the text from space() up to `end`, passing the block to the file once it is
    // full; false when this or an earlier write failed (nothing is written after that).
    bool commit(const char* end) {
        used = static_cast<std::size_t>(end - block.get());
        if (used >= blockSize) {
            passBlock();
        }
        return writeError == 0;
    }
    // Writes out the rest and closes the file; false when this or any earlier write failed,
    // the first failure's errno in error().
    bool close();
    int error() const { return writeError; }

  private:
    void passBlock();
    void write(std::size_t size);

    Stream out;
    Memory<char> block; // blockSize plus the overrun
    std::size_t used = 0;
    int writeError = 0;
};

} // namespace mksrec

#endif
