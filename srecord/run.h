// SPDX-License-Identifier: MIT
#ifndef MKSREC_RUN_H
#define MKSREC_RUN_H

#include "line.h"

#include <cstddef>
#include <cstdint>

namespace mksrec {

// The data records of an image, one every `recordSize` bytes of it, each right behind the one
// before from the start address on, and the end record after them: their lines, written into
// the caller's memory. The run stops at the first record the rules refuse and says why; it
// prints nothing. The record size is the caller's, given with each piece of the image.
class RecordRun {
  public:
    // How far past the `limit` given to put() a line may reach: the caller's block needs
    // this much room behind it.
    static constexpr std::size_t overrun = maxLineLength;

    explicit RecordRun(std::uint32_t start) : next(start) {}

    struct Put {
        char* end;         // behind the last character written
        std::size_t taken; // the input bytes whose lines were written
    };
    // The lines of the records of `recordSize` bytes (at least 1) in the `bytes` bytes at
    // `data`, the last of them shorter when `bytes` is not a multiple of the record size,
    // back to back from `out`: as many as begin before `limit`, the last of them ending up to
    // `overrun` past it. Stops at a record the rules refuse, leaving the beginning of its line
    // (the kind, and the count's digits when the count is valid) and refusal() set; nothing
    // is taken after that.
    Put put(char* out, const char* limit, const std::uint8_t* data, std::size_t bytes,
            std::uint32_t recordSize);

    Refusal refusal() const { return refused; }
    // The data bytes of the refused record.
    std::uint32_t refusedCount() const { return refusedBytes; }

    // The end record's line at `out`: the kind, a count of 0 plus the address and checksum
    // bytes, an all-zero address and the checksum; always the same characters. Returns its
    // end.
    static char* putEnd(char* out);

  private:
    std::uint32_t next; // the address of the next record
    Refusal refused = Refusal::None;
    std::uint32_t refusedBytes = 0;
};

} // namespace mksrec

#endif
