// SPDX-License-Identifier: MIT
#ifndef MKSREC_INPUT_H
#define MKSREC_INPUT_H

#include "memory.h"
#include "status.h"
#include "stream.h"

#include <cstddef>
#include <cstdint>

namespace mksrec {

// Consecutive chunks of input: `size` bytes at `data`, one chunk every `chunkSize` bytes,
// the last one shorter where the input ends inside it.
struct Chunks {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t chunkSize = 0;
};

// The input read a block at a time and handed out as runs of chunks of the requested size:
// the same chunks as one fread() of that size per record would deliver, for a fraction of
// the calls. A block holds whole chunks only, so no chunk straddles two reads.
class ChunkReader {
  public:
    // Empty (check valid()) when a negative size or a failed allocation leaves no buffer.
    explicit ChunkReader(std::int32_t chunkSize);
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
    std::size_t chunkSize = 0;
    std::size_t blockSize = 0;
    Memory<std::uint8_t> block;
    bool lastBlock = false;
    int readError = 0; // the failed read, not reported before the chunks ahead of it
};

} // namespace mksrec

#endif
