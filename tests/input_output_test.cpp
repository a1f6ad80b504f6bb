// SPDX-License-Identifier: MIT
// The block reader must hand out exactly the chunks that one fread() per record would,
// whatever the stream delivers per read, and report a failed read only after the chunks
// that were whole before it. The line writer must hand the stream whole blocks, keep the
// first failure, and turn a run of chunks into the lines a record a chunk would give.

#include "output.h"
#include "srecord.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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
        for (std::size_t at = 0; at < run.size; at += run.chunkSize) {
            chunks.emplace_back(reinterpret_cast<const char*>(run.data) + at,
                                std::min(run.chunkSize, run.size - at));
        }
    }
}

// glibc's custom streams stand in for a pipe and a failing disk; elsewhere the comparisons
// are skipped.
#if defined(__GLIBC__)
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

ReadResult blockReads(Source source, std::int32_t chunkSize) {
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
        for (const std::int32_t chunkSize : {1, 7, 16, 17, 65536, 70000}) {
            SCOPED_TRACE(std::to_string(s.size) + " bytes, " + std::to_string(s.step) +
                         " a read, failing at " + std::to_string(s.failAt) + ", chunks of " +
                         std::to_string(chunkSize));
            const Source source{pattern(s.size), s.step, s.failAt};
            const ReadResult expected = perRecordReads(source, static_cast<std::size_t>(chunkSize));
            const ReadResult got = blockReads(source, chunkSize);
            EXPECT_EQ(got.failed, expected.failed);
            ASSERT_EQ(got.chunks.size(), expected.chunks.size());
            EXPECT_TRUE(got.chunks == expected.chunks);
        }
    }
#endif
}

// A file as the C library of any platform reads it: same chunks, and nothing altered
// (binary mode, so CR LF and ^Z are data).
TEST(ChunkReader, SameChunksFromAFile) {
    const std::size_t sizes[] = {0, 1, 17, 65535, 65536, 65537, 200003};
    for (const std::size_t size : sizes) {
        for (const std::int32_t chunkSize : {1, 7, 16, 17, 65536, 70000}) {
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
            const auto whole = static_cast<std::size_t>(chunkSize);
            ASSERT_EQ(chunks.size(), (size + whole - 1) / whole);
            for (std::size_t i = 0; i < chunks.size(); ++i) {
                ASSERT_EQ(chunks[i], data.substr(i * whole, whole)) << "chunk " << i;
            }
        }
    }
}

#if defined(__GLIBC__)
// A stream that keeps what is written to it and the size of every write. The write that
// reaches byte `failAt` stops there and fails once with ENOSPC, as a disk that is full
// for a moment; its close fails with `closeError`.
struct Sink {
    std::string data;
    std::vector<std::size_t> writes;
    std::size_t failAt = static_cast<std::size_t>(-1);
    int closeError = 0;
    bool failed = false;
};

ssize_t writeSink(void* cookie, const char* buffer, std::size_t size) {
    auto& sink = *static_cast<Sink*>(cookie);
    sink.writes.push_back(size);
    const std::size_t room = sink.failAt - std::min(sink.failAt, sink.data.size());
    if (size > room && !sink.failed) {
        sink.data.append(buffer, room);
        sink.failed = room == 0;
        errno = ENOSPC;
        return room > 0 ? static_cast<ssize_t>(room) : -1;
    }
    sink.data.append(buffer, size);
    return static_cast<ssize_t>(size);
}

int closeSink(void* cookie) {
    auto& sink = *static_cast<Sink*>(cookie);
    errno = sink.closeError;
    return sink.closeError != 0 ? -1 : 0;
}

// Puts `records` 16-byte data records of a 0..255 pattern from address 0, then the
// terminator, into `sink`; returns the first status other than Ok, or Ok.
Status putRecords(LineWriter& writer, Sink& sink, std::size_t records, std::string* expected) {
    writer.attach(fopencookie(&sink, "w", {nullptr, writeSink, nullptr, closeSink}), "sink");
    std::uint8_t data[16];
    SRecord record;
    SRecord copy;
    Line line;
    for (std::size_t i = 0; i <= records; ++i) {
        for (std::size_t j = 0; j < 16; ++j) {
            data[j] = static_cast<std::uint8_t>(i * 16 + j);
        }
        for (SRecord* r : {&record, &copy}) {
            r->setType(i < records ? Data : Terminator);
            r->setByteCount(i < records ? 16 : 0);
            r->setAddress(static_cast<std::uint32_t>(i * 16));
            r->setData(data);
        }
        expected->append(line.data(), copy.format(line).length);
        const Status status = writer.put(record);
        if (status != Status::Ok) {
            return status;
        }
    }
    return Status::Ok;
}

// Every write but the last is exactly one block, whatever the line length: lines are cut
// where a block ends and go on in the next.
TEST(LineWriter, WritesWholeBlocksAndTheRestAtClose) {
    for (const std::size_t records : {0u, 1u, 5698u, 5699u, 20000u}) {
        SCOPED_TRACE(std::to_string(records) + " records");
        LineWriter writer;
        Sink sink;
        std::string expected;
        ASSERT_EQ(putRecords(writer, sink, records, &expected), Status::Ok);
        ASSERT_TRUE(writer.close());
        EXPECT_EQ(sink.data, expected);
        ASSERT_FALSE(sink.writes.empty());
        const std::size_t full = expected.size() / LineWriter::blockSize;
        const std::size_t rest = expected.size() % LineWriter::blockSize;
        EXPECT_EQ(sink.writes.size(), full + (rest > 0 ? 1 : 0));
        for (std::size_t i = 0; i < full; ++i) {
            EXPECT_EQ(sink.writes[i], LineWriter::blockSize) << "write " << i;
        }
        if (rest > 0) {
            EXPECT_EQ(sink.writes.back(), rest);
        }
    }
}

// A failed write stops the run at the block that failed; nothing is written after it,
// though the disk has room again, and the first failure is the one reported, even when
// closing fails too.
TEST(LineWriter, FirstFailureStopsAndIsKept) {
    LineWriter writer;
    Sink sink;
    sink.failAt = 100000;
    sink.closeError = EIO;
    std::string expected;
    EXPECT_EQ(putRecords(writer, sink, 20000, &expected), Status::WriteFailed);
    EXPECT_EQ(expected.size(), LineWriter::blockSize / 46 * 46 + 46) << "stopped late";
    EXPECT_FALSE(writer.close());
    EXPECT_EQ(writer.error(), ENOSPC);
    EXPECT_EQ(sink.data, expected.substr(0, 100000));
}

TEST(LineWriter, FailedCloseIsReported) {
    LineWriter writer;
    Sink sink;
    sink.closeError = EIO;
    std::string expected;
    EXPECT_EQ(putRecords(writer, sink, 3, &expected), Status::Ok);
    EXPECT_FALSE(writer.close());
    EXPECT_EQ(writer.error(), EIO);
    EXPECT_EQ(sink.data, expected);
}

struct Outcome {
    std::vector<Status> statuses;
    std::string errors;
    Sink sink;
    bool closed;
};

// The run of `chunks` put into a writer at once, or a chunk at a time as a record each;
// at most `runs` runs, all with the same data, each right behind the one before.
Outcome putChunks(const Chunks& chunks, std::uint32_t address, std::size_t failAt, bool atOnce,
                  int runs) {
    Outcome outcome{{}, "", {}, false};
    outcome.sink.failAt = failAt;
    LineWriter writer;
    writer.attach(fopencookie(&outcome.sink, "w", {nullptr, writeSink, nullptr, closeSink}),
                  "sink");
    writer.startAt(address);
    SRecord record;
    record.setType(Data);
    record.setAddress(address);
    testing::internal::CaptureStderr();
    Status status = Status::Ok;
    for (int run = 0; run < runs && status == Status::Ok; ++run) {
        if (atOnce) {
            status = writer.put(chunks);
        } else {
            for (std::size_t at = 0; at < chunks.size && status == Status::Ok;
                 at += chunks.chunkSize) {
                record.setByteCount(
                    static_cast<std::uint32_t>(std::min(chunks.chunkSize, chunks.size - at)));
                record.setData(chunks.data + at);
                status = writer.put(record);
                record.advanceAddress();
            }
        }
        outcome.statuses.push_back(status);
    }
    outcome.errors = testing::internal::GetCapturedStderr();
    outcome.closed = writer.close();
    return outcome;
}

// A run of chunks put at once against the same chunks put one record at a time: the same
// bytes in the same writes, the same statuses and messages. At every chunk size, the runs
// long enough for their lines to cross a block's end, each ending in a short chunk or not;
// from addresses where every line fits, where the run stops at the line whose end passes
// 0xffffff, and with a disk that fills up part-way. The data end where their allocation
// does, so that a read past them shows under the sanitizers.
TEST(LineWriter, RunOfChunksAsRecordByRecord) {
    std::mt19937 random(1);
    const std::size_t none = static_cast<std::size_t>(-1);
    for (std::size_t chunkSize = 1; chunkSize <= 18; ++chunkSize) {
        const std::size_t length = dataLineLength(static_cast<std::uint32_t>(chunkSize));
        const std::size_t whole = LineWriter::blockSize / length + 3;
        for (const std::size_t rest : {std::size_t{0}, chunkSize / 2 + 1}) {
            const std::size_t size = whole * chunkSize + (rest < chunkSize ? rest : 0);
            std::vector<std::uint8_t> data(size);
            for (std::uint8_t& byte : data) {
                byte = static_cast<std::uint8_t>(random());
            }
            const Chunks chunks{data.data(), size, chunkSize};
            const auto span = static_cast<std::uint32_t>(size);
            const struct {
                std::uint32_t address;
                std::size_t failAt;
                int runs;
            } settings[] = {
                {0, none, 1},
                {0x123457, none, 3},
                {0x1000000 - span, none, 1},
                {0x1000000 - span / 2, none, 1},
                {0x1000000 - span + 1, none, 1},
                {0x1000000 - 2 * span - 5, none, 3},
                {0xFFFFFF, none, 1},
                {0x1000000, none, 1},
                {0, 100003, 2},
            };
            for (const auto& setting : settings) {
                SCOPED_TRACE("chunks of " + std::to_string(chunkSize) + ", " +
                             std::to_string(size) + " bytes at " + std::to_string(setting.address) +
                             ", failing at " + std::to_string(setting.failAt));
                const Outcome atOnce =
                    putChunks(chunks, setting.address, setting.failAt, true, setting.runs);
                const Outcome oneByOne =
                    putChunks(chunks, setting.address, setting.failAt, false, setting.runs);
                EXPECT_TRUE(atOnce.statuses == oneByOne.statuses);
                EXPECT_EQ(atOnce.errors, oneByOne.errors);
                ASSERT_EQ(atOnce.sink.data.size(), oneByOne.sink.data.size());
                EXPECT_TRUE(atOnce.sink.data == oneByOne.sink.data);
                EXPECT_TRUE(atOnce.sink.writes == oneByOne.sink.writes);
                EXPECT_EQ(atOnce.closed, oneByOne.closed);
            }
        }
    }
}

// The beginning of a refused line is kept and reaches the file at close.
TEST(LineWriter, RefusedRecordLeavesItsBeginning) {
    LineWriter writer;
    Sink sink;
    writer.attach(fopencookie(&sink, "w", {nullptr, writeSink, nullptr, closeSink}), "sink");
    SRecord record;
    record.setType(Data);
    record.setByteCount(17);
    testing::internal::CaptureStderr();
    EXPECT_EQ(writer.put(record), Status::BadRecord);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR:  Can't have 17 bytes per record.\n");
    EXPECT_TRUE(writer.close());
    EXPECT_EQ(sink.data, "S2");
}
#else
// The writer's blocks are watched through a stream whose writes the test sees one by one,
// which needs glibc's fopencookie().
TEST(LineWriter, BlocksAndFailures) {
    GTEST_SKIP() << "needs fopencookie() (glibc) to watch the writes";
}
#endif

TEST(ChunkReader, NoBufferForNegativeCounts) {
    EXPECT_FALSE(ChunkReader(-1).valid());
    EXPECT_FALSE(ChunkReader(0).valid());
    EXPECT_TRUE(ChunkReader(1).valid());
}

// A run that stops before its output is opened closes nothing and reports nothing.
TEST(LineWriter, CloseWithoutAFileSucceeds) {
    LineWriter writer;
    EXPECT_TRUE(writer.close());
}

} // namespace
