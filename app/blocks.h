#ifndef MKSREC_BLOCKS_H
#define MKSREC_BLOCKS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

// The input read a block at a time and handed out in chunks of the requested size: the
// same chunks as one fread() of that size per record would deliver, for a fraction of the
// calls. A block holds whole chunks only, so no chunk straddles two reads.
class ChunkReader {
  public:
    // Empty (check valid()) when a negative size or a failed allocation leaves no buffer.
    explicit ChunkReader(std::int32_t chunkSize);
    bool valid() const { return block != nullptr; }

    // The next chunk of `in` and its size; 0 at the end of the input or when reading
    // failed. The chunk stays valid until the next call.
    std::size_t next(std::FILE* in, const std::uint8_t*& chunk);
    // errno's value at a failed read, set once next() has delivered every chunk that was
    // whole before it.
    int error() const { return readError; }

  private:
    std::size_t chunkSize = 0;
    std::size_t blockSize = 0;
    std::unique_ptr<std::uint8_t[]> block;
    std::size_t filled = 0;   // bytes of the block that hold input
    std::size_t position = 0; // start of the next chunk in the block
    bool lastBlock = false;
    int failure = 0; // the failed read, not reported before the chunks ahead of it
    int readError = 0;
};

// Output lines gathered into one block and handed to the stream a block at a time. The
// block is larger than the reader's: a quarter MiB takes a tenth off a conversion, where
// a larger read block gains nothing.
class LineWriter {
  public:
    // Empty (check valid()) when the block could not be allocated.
    LineWriter();
    bool valid() const { return block != nullptr; }

    // Room for one line of up to `size` characters, flushing to `out` if need be.
    char* room(std::FILE* out, std::size_t size) {
        if (blockSize - used < size) {
            flush(out);
        }
        return block.get() + used;
    }
    void commit(std::size_t size) { used += size; }
    // Hands the block to `out`; false when the stream has failed, now or before.
    bool flush(std::FILE* out);
    // errno's value at the failure.
    int error() const { return writeError; }

  private:
    static constexpr std::size_t blockSize = std::size_t{256} * 1024;
    std::unique_ptr<char[]> block;
    std::size_t used = 0;
    int writeError = 0;
};

#endif
