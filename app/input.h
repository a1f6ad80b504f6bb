// SPDX-License-Identifier: MIT
#ifndef MKSREC_INPUT_H
#define MKSREC_INPUT_H

#include "memory.h"
#include "status.h"
#include "stream.h"

#include <cstddef>
#include <cstdint>

namespace mksrec {

// Consecutive chunks of input, each a record's data: `size` bytes at `data`, one chunk every
// `recordSize` bytes, the last one shorter where the input ends inside it.
struct Chunks {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::uint32_t recordSize = 0;
};

// The input read a block at a time and handed out as runs of chunks of the record size: the
// same chunks as one fread() of that size per record would deliver, for a fraction of the
// calls. A block holds whole chunks only, so no chunk straddles two reads. The one holder of
// the record size, which it hands out with every run of chunks.
class ChunkReader {
  public:
    // A record size of at least 1. Empty (check valid()) when the allocation failed.
    explicit ChunkReader(std::uint32_t recordSize);
    bool valid() const { return block != nullptr; }

    // False when the file cannot be opened, or is not one to read data from (see
    // isDataStream()).
    bool open(const char* path);
    void attach(std::FILE* file, const char* path) { in.attach(file, path); }
    std::FILE* stream() const { return in.get(); }
    const char* path() const { return in.path(); }

    // Ok with the next block's chunks, which stay valid until the next call; EndOfInput at
    // the end of the input; ReadFailed once every chunk that was whole before a failed read
    // is out.
    Status next(Chunks& chunks);
    // errno's value at the failed read.
    int error() const { return readError; }
    // Nothing read can be lost by closing, so the result does not matter.
    void close() { in.reset(); }

  private:
    Stream in;
    std::uint32_t recordSize;
    std::size_t blockSize;
    Memory<std::uint8_t> block;
    bool lastBlock = false;
    int readError = 0; // the failed read, not reported before the chunks ahead of it
};

} // namespace mksrec

#endif
