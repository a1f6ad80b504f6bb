#include "blocks.h"

#include <cerrno>
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
    block.reset(new (std::nothrow) std::uint8_t[blockSize]);
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

void ChunkReader::refill() {
    // fread() only comes back short at the end of the input or on an error, and a stream
    // that failed once is not asked again.
    filled = std::fread(block.get(), 1, blockSize, in.get());
    position = 0;
    lastBlock = filled < blockSize;
    if (std::ferror(in.get())) {
        readError = lastError();
        // Chunks that were whole before the failure are delivered as a read of their own
        // would have; the broken one is not.
        filled -= filled % chunkSize;
    }
}

LineWriter::LineWriter() : block(new (std::nothrow) char[blockSize + SRecord::maxLineLength]) {}

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
