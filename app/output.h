// SPDX-License-Identifier: MIT
#ifndef MKSREC_OUTPUT_H
#define MKSREC_OUTPUT_H

#include "encode.h"
#include "input.h"
#include "srecord.h"
#include "stream.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace mksrec {

// The S-record file: lines gathered and handed to the stream in blocks of exactly blockSize
// bytes, a line split across two blocks where it falls (a quarter MiB takes a tenth off a
// conversion, where a larger read block gains nothing). The writer owns the data path: it
// holds the run's address and turns runs of chunks into lines, asking line.h once a run how
// many fit below the top of the address space; a record formats the one that is refused,
// with the reason, and the end record.
class LineWriter {
  public:
    static constexpr std::size_t blockSize = std::size_t{256} * 1024;

    // Empty (check valid()) when the block could not be allocated.
    LineWriter();
    bool valid() const { return block != nullptr; }

    // Creates or truncates `path`; false when it cannot be opened.
    bool open(const char* path) { return out.open(path, "wb"); }
    void attach(std::FILE* file, const char* path) { out.attach(file, path); }
    const char* path() const { return out.path(); }

    // The address of the run's first byte.
    void startAt(std::uint32_t address) { next = address; }
    // Adds the record's line. BadRecord when the record refused itself (it has said why;
    // the beginning of its line is kept, as a record writing to the file itself would
    // leave it); WriteFailed when a block did not go out; Ok otherwise.
    Status put(SRecord& record);
    // Adds a data line per chunk, each right behind the one before, the first right behind
    // the last chunk put: the same lines and status as put() of a data record for each
    // chunk in turn, up to the first that is not Ok.
    Status put(const Chunks& chunks);
    // Writes out the rest and closes the stream; false when this or any earlier write
    // failed, the first failure's errno in error().
    bool close();
    int error() const { return writeError; }

  private:
    Status putRecords(encoding::Run& run, std::size_t records);
    void passBlock();
    void write(std::size_t size);

    Stream out;
    Memory<char> block; // blockSize plus room for the line that crosses its end
    std::size_t used = 0;
    std::uint32_t next = 0; // the address of the run's next record
    int writeError = 0;
};

} // namespace mksrec

#endif
