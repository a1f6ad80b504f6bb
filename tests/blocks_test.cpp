// The block reader must hand out exactly the chunks that one fread() per record would,
// whatever the stream delivers per read, and report a failed read only after the chunks
// that were whole before it.

#include "blocks.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// A stream that hands out its data at most `step` bytes a read, like a pipe, and fails
// with EIO once `failAt` bytes are out.
struct Source {
    std::string data;
    std::size_t step;
    std::size_t failAt;
    std::size_t at = 0;
};

ssize_t readSource(void* cookie, char* buffer, std::size_t size) {
    auto& source = *static_cast<Source*>(cookie);
    if (source.at >= source.failAt) {
        errno = EIO;
        return -1;
    }
    std::size_t n =
        std::min({size, source.step, source.data.size() - source.at, source.failAt - source.at});
    source.data.copy(buffer, n, source.at);
    source.at += n;
    return static_cast<ssize_t>(n);
}

std::FILE* open(Source& source) {
    return fopencookie(&source, "r", {readSource, nullptr, nullptr, nullptr});
}

struct Chunks {
    std::vector<std::string> chunks;
    bool failed = false;
};

Chunks perRecordReads(Source source, std::size_t chunkSize) {
    std::FILE* stream = open(source);
    Chunks result;
    std::string buffer(chunkSize, '\0');
    for (std::size_t got;
         (got = std::fread(buffer.data(), 1, chunkSize, stream)) > 0 && !std::ferror(stream);) {
        result.chunks.push_back(buffer.substr(0, got));
    }
    result.failed = std::ferror(stream) != 0;
    std::fclose(stream);
    return result;
}

Chunks blockReads(Source source, std::int32_t chunkSize) {
    ChunkReader reader(chunkSize);
    reader.attach(open(source), "source");
    Chunks result;
    const std::uint8_t* chunk = nullptr;
    std::size_t size = 0;
    Status status = Status::Ok;
    while ((status = reader.next(chunk, size)) == Status::Ok) {
        result.chunks.emplace_back(reinterpret_cast<const char*>(chunk), size);
    }
    EXPECT_EQ(size, 0u);
    result.failed = status == Status::ReadFailed && reader.error() == EIO;
    EXPECT_EQ(reader.next(chunk, size), status) << "the end is not final";
    return result;
}

std::string pattern(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>(i * 131 + i / 251);
    }
    return data;
}

TEST(ChunkReader, SameChunksAsOneReadPerRecord) {
    const std::size_t none = static_cast<std::size_t>(-1);
    const struct {
        std::size_t size, step, failAt;
    } sources[] = {
        {0, 4096, none},       {1, 4096, none},         {17, 4096, none},
        {65535, 4096, none},   {65536, 1 << 20, none},  {65537, 7, none},
        {200003, 1000, none},  {200003, 1 << 20, none}, {1000, 7, 500},
        {100000, 4096, 65540}, {100000, 1 << 20, 3},    {10, 4096, 0},
    };
    for (const auto& s : sources) {
        for (const std::int32_t chunkSize : {1, 7, 16, 17, 65536, 70000}) {
            SCOPED_TRACE(std::to_string(s.size) + " bytes, " + std::to_string(s.step) +
                         " a read, failing at " + std::to_string(s.failAt) + ", chunks of " +
                         std::to_string(chunkSize));
            const Source source{pattern(s.size), s.step, s.failAt};
            const Chunks expected = perRecordReads(source, static_cast<std::size_t>(chunkSize));
            const Chunks got = blockReads(source, chunkSize);
            EXPECT_EQ(got.failed, expected.failed);
            ASSERT_EQ(got.chunks.size(), expected.chunks.size());
            EXPECT_TRUE(got.chunks == expected.chunks);
        }
    }
}

TEST(ChunkReader, NoBufferForNegativeCounts) {
    EXPECT_FALSE(ChunkReader(-1).valid());
    EXPECT_FALSE(ChunkReader(0).valid());
    EXPECT_TRUE(ChunkReader(1).valid());
}

} // namespace
