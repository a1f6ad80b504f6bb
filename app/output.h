// SPDX-License-Identifier: MIT
#ifndef MKSREC_OUTPUT_H
#define MKSREC_OUTPUT_H

#include "input.h"
#include "srecord.h"
#include "stream.h"

#include <cstddef>
#include <cstdio>

namespace mksrec {

// The S-record file: lines gathered and handed to the stream in blocks of exactly blockSize
// bytes, a line split across two blocks where it falls (a quarter MiB takes a tenth off a
// conversion, where a larger read block gains nothing). The writer owns the data path: it
// turns runs of chunks into lines, stepping the address and checking the 24-bit limit once a
// run; the record formats the lines that are not part of a run.
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

    Stream out;
    Memory<char> block; // blockSize plus room for the line that crosses its end
    std::size_t used = 0;
    int writeError = 0;
};

} // namespace mksrec

#endif
