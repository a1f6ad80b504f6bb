// SPDX-License-Identifier: MIT
#ifndef MKSREC_BLOCKS_H
#define MKSREC_BLOCKS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "srecord.h"

namespace mksrec {

// How one step of the conversion went. The reader answers Ok, End or ReadFailed; the
// writer Ok, BadRecord or WriteFailed. Anything but Ok and End ends the run.
enum class Status { Ok, End, BadRecord, ReadFailed, WriteFailed };

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The blocks come from malloc(): with operator new, and with exceptions, which nothing here
// throws, the program would load the C++ runtime library, a third of a millisecond on
// every run, more than it takes to convert a 64 KiB image.
struct MemoryFreer {
    void operator()(void* memory) const { std::free(memory); }
};
template <typename T> using Memory = std::unique_ptr<T[], MemoryFreer>;

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

    // Opens `path` for binary reading; false when it cannot be opened.
    bool open(const char* path);
    // Takes over `file`, called `path` in messages.
    void attach(std::FILE* file, const char* path);
    std::FILE* stream() const { return in.get(); }
    const char* path() const { return name; }

    // Ok with the next block's chunks, which stay valid until the next call; End at the end
    // of the input; ReadFailed once every chunk that was whole before a failed read is out.
    Status next(Chunks& chunks);
    // errno's value at the failed read.
    int error() const { return readError; }
    // Nothing read can be lost by closing, so the result does not matter.
    void close() { in.reset(); }

  private:
    void refill();

    File in;
    const char* name = "";
    std::size_t chunkSize = 0;
    std::size_t blockSize = 0;
    Memory<std::uint8_t> block;
    bool lastBlock = false;
    int readError = 0; // the failed read, not reported before the chunks ahead of it
};

// Output lines gathered and handed to the stream in blocks of exactly blockSize bytes, a
// line split across two blocks where it falls: a quarter MiB takes a tenth off a
// conversion, where a larger read block gains nothing.
class LineWriter {
  public:
    static constexpr std::size_t blockSize = std::size_t{256} * 1024;

    // Empty (check valid()) when the block could not be allocated.
    LineWriter();
    bool valid() const { return block != nullptr; }

    // Creates or truncates `path` for binary writing; false when it cannot be opened.
    bool open(const char* path);
    // Takes over `file`, called `path` in messages.
    void attach(std::FILE* file, const char* path);
    const char* path() const { return name; }

    // Adds the record's line. BadRecord when the record refused itself (it has said why;
    // the beginning of its line is kept, as a record writing to the file itself would
    // leave it); WriteFailed when a block did not go out; Ok otherwise.
    Status put(SRecord& record);
    // Adds a data line per chunk, the first at the record's address: the same lines and
    // status as put() for each chunk in turn, up to the first that is not Ok. The record is
    // left behind the last chunk, or at the one that failed.
    Status put(SRecord& record, const Chunks& chunks);
    // Writes out the rest and closes the stream; false when this or any earlier write
    // failed, the first failure's errno in error().
    bool close();
    int error() const { return writeError; }

  private:
    void passBlock();
    void write(std::size_t size);

    File out;
    const char* name = "";
    Memory<char> block; // blockSize plus room for the line that crosses its end
    std::size_t used = 0;
    int writeError = 0;
};

} // namespace mksrec

#endif
