// SPDX-License-Identifier: MIT
#include "blocks.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace mksrec {

namespace {
constexpr std::size_t preferredBlock = std::size_t{64} * 1024;

int lastError() {
    return errno != 0 ? errno : EIO;
}
} // namespace

ChunkReader::ChunkReader(std::int32_t size) {
    if (size <= 0) {
        return;
    }
    chunkSize = static_cast<std::size_t>(size);
    blockSize = chunkSize >= preferredBlock ? chunkSize : preferredBlock / chunkSize * chunkSize;
    block.reset(static_cast<std::uint8_t*>(std::malloc(blockSize)));
}

bool ChunkReader::open(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    attach(file, path);
    return true;
}

void ChunkReader::attach(std::FILE* file, const char* path) {
    in.reset(file);
    name = path;
    // The reader does the buffering; a second copy through the file's buffer would only
    // cost time.
    std::setvbuf(file, nullptr, _IONBF, 0);
}

Status ChunkReader::next(Chunks& chunks) {
    // fread() only comes back short at the end of the input or on an error, and a stream
    // that failed once, or ended, is not asked again.
    std::size_t filled = 0;
    if (!lastBlock) {
        filled = std::fread(block.get(), 1, blockSize, in.get());
        lastBlock = filled < blockSize;
        if (std::ferror(in.get())) {
            readError = lastError();
            // Chunks that were whole before the failure are delivered as a read of their own
            // would have; the broken one is not.
            filled -= filled % chunkSize;
        }
    }
    if (filled == 0) {
        return readError != 0 ? Status::ReadFailed : Status::End;
    }
    chunks = {block.get(), filled, chunkSize};
    return Status::Ok;
}

LineWriter::LineWriter()
    : block(static_cast<char*>(std::malloc(blockSize + SRecord::maxLineLength))) {}

bool LineWriter::open(const char* path) {
    // Binary mode: the record supplies the CR LF itself, and a text stream would write its
    // LF as CR LF where the C library does that (Windows), ending every line CR CR LF.
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    attach(file, path);
    return true;
}

void LineWriter::attach(std::FILE* file, const char* path) {
    out.reset(file);
    name = path;
    std::setvbuf(file, nullptr, _IONBF, 0);
}

Status LineWriter::put(SRecord& record) {
    // Formatted in place: the block always has a whole line of room past `used`, and
    // creating the line there writes nothing.
    const SRecord::Formatted line = record.format(*new (block.get() + used) SRecord::Line);
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
    const auto chunkSize = static_cast<std::uint32_t>(chunks.chunkSize);
    record.setByteCount(chunkSize);
    record.setData(chunks.data);
    // Only used when the record's count is valid, at most 16.
    const std::size_t lineLength = 14 + 2 * std::size_t{chunkSize};
    for (std::size_t whole = chunks.size / chunkSize; whole > 0;) {
        // As many lines as begin in this block; the last may cross its end.
        const std::size_t asked = std::min(whole, (blockSize - used) / lineLength + 1);
        const std::size_t done = record.formatRun(block.get() + used, asked);
        used += done * lineLength;
        whole -= done;
        if (used >= blockSize) {
            passBlock();
            if (writeError != 0) {
                return Status::WriteFailed;
            }
        }
        if (done < asked) {
            // The record that fails a check, with its message.
            return put(record);
        }
    }
    const auto rest = static_cast<std::uint32_t>(chunks.size % chunkSize);
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
    if (std::fclose(out.release()) != 0 && writeError == 0) {
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
