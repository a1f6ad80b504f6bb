// SPDX-License-Identifier: MIT
#include "output.h"
#include "encode.h"

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

Status LineWriter::put(SRecord& record, const Chunks& chunks) {
    // The chunk size came from a positive int.
    const auto count = static_cast<std::uint32_t>(chunks.chunkSize);
    std::uint32_t address = record.getAddress();
    const std::uint8_t* data = chunks.data;
    std::size_t whole = chunks.size / chunks.chunkSize;
    // The whole chunks that make writable records: all of them, unless the count is out of
    // range or the address space ends first.
    std::size_t lines = 0;
    if (writableDataRecord(address, count)) {
        lines = std::min(whole, std::size_t{(maxAddress + 1 - count - address) / count + 1});
    }
    const std::size_t length = dataLineLength(count);
    while (lines > 0) {
        // As many lines as begin in this block; the last may cross its end.
        const std::size_t n = std::min(lines, (blockSize - used) / length + 1);
        encoding::encodeLines(block.get() + used, address, data, count, n);
        used += n * length;
        // n * count is at most 2^24, the whole address space.
        address += static_cast<std::uint32_t>(n) * count;
        data += n * count;
        lines -= n;
        whole -= n;
        if (used >= blockSize) {
            passBlock();
            if (writeError != 0) {
                record.setAddress(address);
                return Status::WriteFailed;
            }
        }
    }
    record.setAddress(address);
    record.setData(data);
    record.setByteCount(count);
    if (whole > 0) {
        // The chunk that fails a check, with its message.
        return put(record);
    }
    const auto rest = static_cast<std::uint32_t>(chunks.size % chunks.chunkSize);
    if (rest == 0) {
        return Status::Ok;
    }
    record.setByteCount(rest);
    const Status status = put(record);
    record.advanceAddress();
    return status;
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
