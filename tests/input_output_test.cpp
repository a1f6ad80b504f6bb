// SPDX-License-Identifier: MIT
// The block reader must hand out exactly the chunks that one fread() per record would,
// whatever the stream delivers per read, and report a failed read only after the chunks
// that were whole before it. The block writer must hand the stream whole blocks and keep the
// first failure.

#include "input.h"
#include "output.h"
#include "srecord.h"
#include "system.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <random>
#include <string>
#include <vector>

using namespace mksrec;

namespace {

// Every chunk of every run the reader hands out, in order; the status that ended them.
Status readChunks(ChunkReader& reader, std::vector<std::string>& chunks) {
    for (;;) {
        Chunks run;
        const Status status = reader.next(run);
        if (status != Status::Ok) {
            return status;
        }
        EXPECT_GT(run.size, 0u);
        for (std::size_t at = 0; at < run.size; at += run.recordSize) {
            chunks.emplace_back(reinterpret_cast<const char*>(run.data) + at,
                                std::min<std::size_t>(run.recordSize, run.size - at));
        }
    }
}

// glibc's custom streams stand in for a pipe and a failing disk; elsewhere the comparisons
// are skipped.
#if defined(__GLIBC__)
// A stream that hands out its data at most `step` bytes a read, like a pipe, and fails
// once `failAt` bytes are out, setting errno to `error` unless 0.
struct Source {
    std::string data;
    std::size_t step;
    std::size_t failAt;
    int error = EIO;
    std::size_t at = 0;
};

ssize_t readSource(void* cookie, char* buffer, std::size_t size) {
    auto& source = *static_cast<Source*>(cookie);
    if (source.at >= source.failAt) {
        if (source.error != 0) {
            errno = source.error;
        }
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

struct ReadResult {
    std::vector<std::string> chunks;
    bool failed = false;
};

ReadResult perRecordReads(Source source, std::size_t chunkSize) {
    std::FILE* stream = open(source);
    ReadResult result;
    std::string buffer(chunkSize, '\0');
    for (std::size_t got;
         (got = std::fread(buffer.data(), 1, chunkSize, stream)) > 0 && !std::ferror(stream);) {
        result.chunks.push_back(buffer.substr(0, got));
    }
    result.failed = std::ferror(stream) != 0;
    std::fclose(stream);
    return result;
}

ReadResult blockReads(Source source, std::uint32_t chunkSize) {
    ChunkReader reader(chunkSize);
    reader.attach(open(source), "source");
    ReadResult result;
    const Status status = readChunks(reader, result.chunks);
    result.failed = status == Status::ReadFailed && reader.error() == EIO;
    std::vector<std::string> more;
    EXPECT_EQ(readChunks(reader, more), status) << "the end is not final";
    EXPECT_TRUE(more.empty());
    return result;
}
#endif

std::string pattern(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>(i * 131 + i / 251);
    }
    return data;
}

TEST(ChunkReader, SameChunksAsOneReadPerRecord) {
#if !defined(__GLIBC__)
    GTEST_SKIP() << "needs fopencookie() (glibc) for short and failing reads";
#else
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
        for (const std::uint32_t chunkSize : {1u, 7u, 16u, 17u, 65536u, 70000u}) {
            SCOPED_TRACE(std::to_string(s.size) + " bytes, " + std::to_string(s.step) +
                         " a read, failing at " + std::to_string(s.failAt) + ", chunks of " +
                         std::to_string(chunkSize));
            const Source source{pattern(s.size), s.step, s.failAt};
            const ReadResult expected = perRecordReads(source, chunkSize);
            const ReadResult got = blockReads(source, chunkSize);
            EXPECT_EQ(got.failed, expected.failed);
            ASSERT_EQ(got.chunks.size(), expected.chunks.size());
            EXPECT_TRUE(got.chunks == expected.chunks);
        }
    }
#endif
}

#if defined(__GLIBC__)
// A read that fails without a reason is reported as EIO, not as a stale errno.
TEST(ChunkReader, FailureWithoutAReasonIsEIO) {
    Source source{pattern(100), 4096, 50, 0};
    ChunkReader reader(16);
    reader.attach(open(source), "source");
    std::vector<std::string> chunks;
    errno = ENOENT;
    EXPECT_EQ(readChunks(reader, chunks), Status::ReadFailed);
    EXPECT_EQ(reader.error(), EIO);
}
#endif

// A file as the C library of any platform reads it: same chunks, and nothing altered
// (binary mode, so CR LF and ^Z are data).
TEST(ChunkReader, SameChunksFromAFile) {
    const std::size_t sizes[] = {0, 1, 17, 65535, 65536, 65537, 200003};
    for (const std::size_t size : sizes) {
        for (const std::uint32_t chunkSize : {1u, 7u, 16u, 17u, 65536u, 70000u}) {
            SCOPED_TRACE(std::to_string(size) + " bytes, chunks of " + std::to_string(chunkSize));
            std::FILE* file = std::tmpfile();
            ASSERT_NE(file, nullptr);
            const std::string data = pattern(size);
            ASSERT_EQ(std::fwrite(data.data(), 1, size, file), size);
            std::rewind(file);
            ChunkReader reader(chunkSize);
            reader.attach(file, "temporary");
            std::vector<std::string> chunks;
            EXPECT_EQ(readChunks(reader, chunks), Status::EndOfInput);
            EXPECT_EQ(reader.error(), 0);
            const std::size_t whole = chunkSize;
            ASSERT_EQ(chunks.size(), (size + whole - 1) / whole);
            for (std::size_t i = 0; i < chunks.size(); ++i) {
                ASSERT_EQ(chunks[i], data.substr(i * whole, whole)) << "chunk " << i;
            }
        }
    }
}

#if defined(__GLIBC__)
// A stream that keeps what is written to it and the size of every write. The write that
// reaches byte `failAt` stops there and fails once, as a disk that is full for a moment,
// setting errno to `writeError` unless 0; its close fails if `closeFails`, setting errno
// to `closeError` unless 0.
struct Sink {
    std::string data;
    std::vector<std::size_t> writes;
    std::size_t failAt = static_cast<std::size_t>(-1);
    int writeError = ENOSPC;
    int closeError = 0;
    bool closeFails = false;
    bool failed = false;
};

ssize_t writeSink(void* cookie, const char* buffer, std::size_t size) {
    auto& sink = *static_cast<Sink*>(cookie);
    sink.writes.push_back(size);
    const std::size_t room = sink.failAt - std::min(sink.failAt, sink.data.size());
    if (size > room && !sink.failed) {
        sink.data.append(buffer, room);
        sink.failed = room == 0;
        if (sink.writeError != 0) {
            errno = sink.writeError;
        }
        return room > 0 ? static_cast<ssize_t>(room) : -1;
    }
    sink.data.append(buffer, size);
    return static_cast<ssize_t>(size);
}

int closeSink(void* cookie) {
    auto& sink = *static_cast<Sink*>(cookie);
    if (sink.closeError != 0) {
        errno = sink.closeError;
    }
    return sink.closeFails ? -1 : 0;
}

void attach(BlockWriter& writer, Sink& sink) {
    writer.attach(fopencookie(&sink, "w", {nullptr, writeSink, nullptr, closeSink}), "sink");
}

// Puts the lines of `records` 16-byte data records of a 0..255 pattern from address 0, then
// the end line, into `sink`, a line at a time; returns false at the first failed commit.
bool putRecords(BlockWriter& writer, Sink& sink, std::size_t records, std::string* expected) {
    attach(writer, sink);
    std::uint8_t data[16];
    SRecord record;
    Line line;
    for (std::size_t i = 0; i <= records; ++i) {
        for (std::size_t j = 0; j < 16; ++j) {
            data[j] = static_cast<std::uint8_t>(i * 16 + j);
        }
        record.setType(i < records ? Data : Terminator);
        record.setByteCount(i < records ? 16 : 0);
        record.setAddress(static_cast<std::uint32_t>(i * 16));
        record.setData(data);
        const std::size_t length = record.format(line).length;
        expected->append(line.data(), length);
        std::copy_n(line.data(), length, writer.space());
        if (!writer.commit(writer.space() + length)) {
            return false;
        }
    }
    return true;
}

// Every write but the last is exactly one block, whatever the line length: lines are cut
// where a block ends and go on in the next.
TEST(BlockWriter, WritesWholeBlocksAndTheRestAtClose) {
    for (const std::size_t records : {0u, 1u, 5698u, 5699u, 20000u}) {
        SCOPED_TRACE(std::to_string(records) + " records");
        BlockWriter writer(maxLineLength);
        Sink sink;
        std::string expected;
        ASSERT_TRUE(putRecords(writer, sink, records, &expected));
        ASSERT_TRUE(writer.close());
        EXPECT_EQ(sink.data, expected);
        ASSERT_FALSE(sink.writes.empty());
        const std::size_t full = expected.size() / BlockWriter::blockSize;
        const std::size_t rest = expected.size() % BlockWriter::blockSize;
        EXPECT_EQ(sink.writes.size(), full + (rest > 0 ? 1 : 0));
        for (std::size_t i = 0; i < full; ++i) {
            EXPECT_EQ(sink.writes[i], BlockWriter::blockSize) << "write " << i;
        }
        if (rest > 0) {
            EXPECT_EQ(sink.writes.back(), rest);
        }
    }
}

// A failed write stops the run at the block that failed; nothing is written after it,
// though the disk has room again, and the first failure is the one reported, even when
// closing fails too.
TEST(BlockWriter, FirstFailureStopsAndIsKept) {
    BlockWriter writer(maxLineLength);
    Sink sink;
    sink.failAt = 100000;
    sink.closeError = EIO;
    sink.closeFails = true;
    std::string expected;
    EXPECT_FALSE(putRecords(writer, sink, 20000, &expected));
    EXPECT_EQ(expected.size(), BlockWriter::blockSize / 46 * 46 + 46) << "stopped late";
    EXPECT_FALSE(writer.close());
    EXPECT_EQ(writer.error(), ENOSPC);
    EXPECT_EQ(sink.data, expected.substr(0, 100000));
}

// A close that fails is reported with its reason, and as EIO where the stream gave none
// (errno 0: a stale errno from an earlier call must not stand in either).
TEST(BlockWriter, FailedCloseIsReported) {
    for (const int reason : {EIO, ENOSPC, 0}) {
        BlockWriter writer(maxLineLength);
        Sink sink;
        sink.closeError = reason;
        sink.closeFails = true;
        std::string expected;
        EXPECT_TRUE(putRecords(writer, sink, 3, &expected));
        errno = ENOENT;
        EXPECT_FALSE(writer.close());
        EXPECT_EQ(writer.error(), reason != 0 ? reason : EIO);
        EXPECT_EQ(sink.data, expected);
    }
    // Nothing left to write before the close, whose errno then stands alone.
    BlockWriter writer(maxLineLength);
    Sink sink;
    sink.closeFails = true;
    attach(writer, sink);
    errno = ENOENT;
    EXPECT_FALSE(writer.close());
    EXPECT_EQ(writer.error(), EIO);
}

// A write that fails without a reason is reported as EIO, not as a stale errno.
TEST(BlockWriter, FailedWriteWithoutAReasonIsEIO) {
    BlockWriter writer(maxLineLength);
    Sink sink;
    sink.failAt = 100000;
    sink.writeError = 0;
    std::string expected;
    errno = ENOENT;
    EXPECT_FALSE(putRecords(writer, sink, 20000, &expected));
    EXPECT_EQ(writer.error(), EIO);
}
#else
// The writer's blocks are watched through a stream whose writes the test sees one by one,
// which needs glibc's fopencookie().
TEST(BlockWriter, BlocksAndFailures) {
    GTEST_SKIP() << "needs fopencookie() (glibc) to watch the writes";
}
#endif

// A run that stops before its output is opened closes nothing and reports nothing.
TEST(BlockWriter, CloseWithoutAFileSucceeds) {
    BlockWriter writer(maxLineLength);
    EXPECT_TRUE(writer.close());
}

// Temporary files by name, removed when the test is done.
struct TemporaryFiles {
    std::list<std::string> paths; // the names stay where they are as more are made
    const char* make(const std::string& name) {
        paths.push_back((std::filesystem::temp_directory_path() /
                         ("mksrec-test-" + std::to_string(std::random_device()()) + name))
                            .string());
        return paths.back().c_str();
    }
    ~TemporaryFiles() {
        for (const std::string& path : paths) {
            std::remove(path.c_str());
        }
    }
};

std::string contents(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A writer opened again after close() starts with an empty block: nothing of the first file
// reaches the second.
TEST(BlockWriter, ReopenedStartsEmpty) {
    TemporaryFiles files;
    const char* first = files.make("first");
    const char* second = files.make("second");
    BlockWriter writer(maxLineLength);
    ASSERT_TRUE(writer.open(first));
    const std::string text = "S804000000fb\r\n";
    std::copy(text.begin(), text.end(), writer.space());
    ASSERT_TRUE(writer.commit(writer.space() + text.size()));
    ASSERT_TRUE(writer.close());
    ASSERT_TRUE(writer.open(second));
    ASSERT_TRUE(writer.close());
    EXPECT_EQ(contents(first), text);
    EXPECT_EQ(contents(second), "");
}

#if !defined(_WIN32)
// The input is closed where the driver says, before the output: its descriptor is free then.
TEST(ChunkReader, CloseReleasesTheDescriptor) {
    TemporaryFiles files;
    const char* path = files.make("input");
    std::ofstream(path) << "data";
    ChunkReader reader(16);
    ASSERT_TRUE(reader.open(path));
    const int descriptor = fileno(reader.stream());
    reader.close();
    EXPECT_EQ(fcntl(descriptor, F_GETFD), -1);
    // A file it refuses to read data from is closed at once.
    EXPECT_FALSE(reader.open("."));
    EXPECT_EQ(reader.stream(), nullptr);
}

// An input whose identity cannot be read (no descriptor here, as when fstat() fails) is not
// taken for an output that does not exist yet: both unknown is not the same file.
TEST(IsInputFile, UnknownInputIsNoOutput) {
    char text[] = "data";
    std::FILE* memory = fmemopen(text, 4, "rb");
    ASSERT_NE(memory, nullptr);
    TemporaryFiles files;
    EXPECT_FALSE(isInputFile(memory, files.make("missing")));
    std::fclose(memory);
}
#endif

} // namespace
