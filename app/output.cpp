// SPDX-License-Identifier: MIT
#include "output.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace mksrec {

LineWriter::LineWriter() : block(static_cast<char*>(std::malloc(blockSize + maxLineLength))) {}

Status LineWriter::put(SRecord& record) {
    // Formatted in place: the block always has a whole line of room past `used`, and
    // creating the line there writes nothing.
    const SRecord::Formatted line = record.format(*new (block.get() + used) Line);
    used += line.length;
    if (used >= blockSize) {
        passBlock();
    }
    if (line.result != 0) {
        return Status::BadRecord;
    }
    return writeError == 0 ? Status::Ok : Status::WriteFailed;
}

Status LineWriter::put(const Chunks& chunks) {
    // The chunk size came from a positive int.
    encoding::Run run{next, chunks.data, static_cast<std::uint32_t>(chunks.chunkSize)};
    Status status = putRecords(run, chunks.size / chunks.chunkSize);
    const auto rest = static_cast<std::uint32_t>(chunks.size % chunks.chunkSize);
    if (status == Status::Ok && rest != 0) {
        // The short last chunk: a run of one record of its own.
        run.count = rest;
        status = putRecords(run, 1);
    }
    next = run.address;
    return status;
}

// The lines of the run's next `records` records, the run moved past them, up to the first
// that is not a writable data record; that one goes to a record, which says why it refuses.
Status LineWriter::putRecords(encoding::Run& run, std::size_t records) {
    // Worked on in a copy that no store into the block can alias: the count checked below
    // stays in a register, known to be valid, and the encoder's loop over the data bytes is
    // unrolled. A failed write ends the conversion, so the run is not handed back then.
    encoding::Run at = run;
    std::size_t writable = 0;
    if (writableDataRecord(at.address, at.count)) {
        writable = std::min(records, std::size_t{recordsBelowTop(at.address, at.count)});
    }
    const std::size_t length = dataLineLength(at.count);
    for (std::size_t left = writable; left > 0;) {
        // As many lines as begin in this block; the last may cross its end.
        const std::size_t n = std::min(left, (blockSize - used) / length + 1);
        at = encoding::encodeLines(block.get() + used, at, n);
        used += n * length;
        left -= n;
        if (used >= blockSize) {
            passBlock();
            if (writeError != 0) {
                return Status::WriteFailed;
            }
        }
    }
    run = at;
    if (writable == records) {
        return Status::Ok;
    }
    SRecord refused;
    refused.setType(Data);
    refused.setAddress(at.address);
    refused.setData(at.data);
    refused.setByteCount(at.count);
    return put(refused);
}

// The full block goes out and the line that crossed its end moves to the front.
void LineWriter::passBlock() {
    write(blockSize);
    used -= blockSize;
    std::memmove(block.get(), block.get() + blockSize, used);
}

bool LineWriter::close() {
    if (!out) {
        return writeError == 0;
    }
    write(used);
    used = 0;
    // A delayed write error (a network file system, a full disk found late) shows only
    // here.
    if (out.close() != 0 && writeError == 0) {
        writeError = lastError();
    }
    return writeError == 0;
}

// Only the first failure counts: nothing after it could land in the right place.
void LineWriter::write(std::size_t size) {
    if (size > 0 && writeError == 0 && std::fwrite(block.get(), 1, size, out.get()) != size) {
        writeError = lastError();
    }
}

} // namespace mksrec
