#include "blocks.h"

#include <cerrno>
#include <new>

namespace {
constexpr std::size_t preferredBlock = std::size_t{64} * 1024;
}

ChunkReader::ChunkReader(std::int32_t size) {
    if (size <= 0) {
        return;
    }
    chunkSize = static_cast<std::size_t>(size);
    blockSize = chunkSize >= preferredBlock ? chunkSize : preferredBlock / chunkSize * chunkSize;
    block.reset(new (std::nothrow) std::uint8_t[blockSize]);
}

std::size_t ChunkReader::next(std::FILE* in, const std::uint8_t*& chunk) {
    if (position == filled && !lastBlock) {
        // fread() only comes back short at the end of the input or on an error.
        filled = std::fread(block.get(), 1, blockSize, in);
        position = 0;
        lastBlock = filled < blockSize;
        if (std::ferror(in)) {
            failure = errno != 0 ? errno : EIO;
            // Chunks that were whole before the failure are delivered as a read of their
            // own would have; the broken one is not.
            filled -= filled % chunkSize;
        }
    }
    if (position == filled) {
        // The end of the input, or of the whole chunks before a failed read.
        readError = failure;
        return 0;
    }
    const std::size_t left = filled - position;
    const std::size_t size = left < chunkSize ? left : chunkSize;
    chunk = block.get() + position;
    position += size;
    return size;
}

LineWriter::LineWriter() : block(new (std::nothrow) char[blockSize]) {}

bool LineWriter::flush(std::FILE* out) {
    if (used > 0 && writeError == 0 && std::fwrite(block.get(), 1, used, out) != used) {
        writeError = errno != 0 ? errno : EIO;
    }
    used = 0;
    return writeError == 0;
}
