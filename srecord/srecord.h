// SPDX-License-Identifier: MIT
#ifndef MKSREC_SRECORD_H
#define MKSREC_SRECORD_H

#include "line.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace mksrec {

// Record kinds this writer knows: Data is written with line.h's data kind ("S2", a
// three-byte address) and Terminator with its end kind ("S8", the end record of a file of
// S2 records).
enum RecordType : std::int32_t { Data = 0, Terminator = 1 };

// One Motorola S-record, its checksum and its line, for a caller that sets the fields one by
// one. It only points at the caller's bytes and only borrows the stream it is written to.
// A run of records from an image goes through RecordRun (run.h) instead, on the same rules.
class SRecord {
  public:
    // Why a record is refused: the rules' reasons (line.h), and what only a record whose
    // fields are set one by one can get wrong: a data record without its data, or a kind
    // this writer does not know.
    enum class Problem { None, ByteCount, AboveTop, NoData, UnknownType };
    // What format() did: why the record was refused (None when it was not) and the number
    // of characters in the line.
    struct Formatted {
        Problem problem;
        std::size_t length;
    };

    SRecord() = default;
    SRecord(const SRecord&) = delete;
    SRecord& operator=(const SRecord&) = delete;

    void setType(RecordType value) { type = value; }
    void setByteCount(std::uint32_t value) { byteCount = value; }
    void setAddress(std::uint32_t value) { address = value; }
    void setData(const std::uint8_t* value) { data = value; }

    RecordType getType() const { return type; }
    std::uint32_t getByteCount() const { return byteCount; }
    std::uint32_t getAddress() const { return address; }
    std::uint32_t getChecksum() const { return checksum; }
    const std::uint8_t* getData() const { return data; }

    // Moves the address past this record's data, so that the next record continues
    // right behind its last byte (wraps modulo 2^32).
    void advanceAddress() { address += byteCount; }

    // Stores the record's checksum and returns 0, or returns 2 for a data record that has
    // no buffer.
    int computeChecksum();

    // Writes the record as one line ending in CR LF and returns 0, or reports the reason on
    // standard error and returns 1. A record that fails a check leaves the beginning of its
    // line, up to the failed field, in the stream. Errors of the stream itself are left to
    // the caller, who can name the file (ferror).
    int write(std::FILE* out);

    // write() without the stream and without a word on standard error: puts into `line`
    // exactly the characters write() would and returns their number, with the reason
    // write() would report.
    Formatted format(Line& line);

  private:
    RecordType type = Terminator;
    std::uint32_t byteCount = 0;
    std::uint32_t address = 0;
    std::uint32_t checksum = 0; // meaningful only after computeChecksum() has succeeded
    const std::uint8_t* data = nullptr;
};

} // namespace mksrec

#endif
