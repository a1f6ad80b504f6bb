// SPDX-License-Identifier: MIT
#include "input.h"
#include "system.h"

#include <cerrno>
#include <cstdlib>

namespace mksrec {

namespace {
constexpr std::size_t preferredBlock = std::size_t{64} * 1024;
} // namespace

ChunkReader::ChunkReader(std::uint32_t size)
    : recordSize(size), blockSize(size >= preferredBlock ? size : preferredBlock / size * size),
      block(static_cast<std::uint8_t*>(std::malloc(blockSize))) {}

bool ChunkReader::open(const char* path) {
    if (!in.open(path, "rb")) {
        return false;
    }
    if (!isDataStream(in.get())) {
        in.reset();
        return false;
    }
    return true;
}

Status ChunkReader::next(Chunks& chunks) {
    // fread() only comes back short at the end of the input or on an error, and a stream
    // that failed once, or ended, is not asked again.
    std::size_t filled = 0;
    if (!lastBlock) {
        errno = 0;
        filled = std::fread(block.get(), 1, blockSize, in.get());
        lastBlock = filled < blockSize;
        if (std::ferror(in.get())) {
            readError = lastError();
            // Chunks that were whole before the failure are delivered as a read of their own
            // would have; the broken one is not.
            filled -= filled % recordSize;
        }
    }
    if (filled == 0) {
        return readError != 0 ? Status::ReadFailed : Status::EndOfInput;
    }
    chunks = {block.get(), filled, recordSize};
    return Status::Ok;
}

} // namespace mksrec
