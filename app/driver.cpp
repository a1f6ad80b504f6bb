// The conversion driver: arguments, settings, files, the read-and-write loop, every
// message and the exit status.

#include "driver.h"
#include "arguments.h"
#include "blocks.h"
#include "srecord.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void usage(const char* program) {
    std::fprintf(stderr, "usage:  %s <#bytes/record> <start addr in hex> <infile> <outfile>\n",
                 program);
    std::fputs("Input file is raw binary data.  Output file will be S-record format.\n", stderr);
}

// A file name as fopen() reads it. Windows' C library reads narrow names in the process
// code page (UTF-8, by mksrec's manifest), where the filesystem library would read them in
// another: a name beyond ASCII would then miss its file.
std::filesystem::path filePath(const char* name) {
#if defined(_WIN32)
    const int size = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide.data(), size);
    wide.pop_back(); // the terminating null
    return wide;
#else
    return name;
#endif
}

// Opening the output truncates it, so an output that is the input itself (by path, hard
// link or symbolic link) would destroy the data before the first read.
bool isSameRegularFile(const char* inPath, const char* outPath) {
    std::error_code ec;
    const std::filesystem::path in = filePath(inPath), out = filePath(outPath);
    return std::filesystem::is_regular_file(out, ec) && std::filesystem::equivalent(in, out, ec);
}

int recordFailed() {
    std::fputs("ERROR:  Problem writing exo file.\n", stderr);
    return -1;
}

int readFailed(const char* path, int error) {
    std::fprintf(stderr, "ERROR:  Can't read file '%s': %s.\n", path, std::strerror(error));
    return -1;
}

int writeFailed(const char* path, int error) {
    std::fprintf(stderr, "ERROR:  Can't write file '%s': %s.\n", path, std::strerror(error));
    return recordFailed();
}

// Formats the record straight into the writer's block. The block is plain characters,
// which a line of characters may occupy anywhere; formatting into a copy first would cost a
// stall per line, as the copy's wide loads cannot take the encoder's stores in flight.
int put(SRecord& record, LineWriter& writer, std::FILE* out) {
    auto& line = *reinterpret_cast<SRecord::Line*>(writer.room(out, sizeof(SRecord::Line)));
    const SRecord::Formatted formatted = record.format(line);
    writer.commit(formatted.length);
    return formatted.result;
}

// Writes one S2 line per chunk of input and the S8 line after them.
int convert(SRecord& record, ChunkReader& reader, std::FILE* in, const char* inPath,
            LineWriter& writer, std::FILE* out, const char* outPath) {
    record.setType(Data);
    for (;;) {
        const std::uint8_t* chunk = nullptr;
        const std::size_t got = reader.next(in, chunk);
        // A failed read would otherwise pass for the end of the input and yield a short
        // file reported as complete.
        if (reader.error() != 0) {
            writer.flush(out);
            return readFailed(inPath, reader.error());
        }
        // got is at most the chunk size, which came from a positive int.
        record.setByteCount(static_cast<std::uint32_t>(got));
        if (got == 0) {
            break;
        }
        record.setData(chunk);
        if (put(record, writer, out) != 0) {
            // The unfinished line stays in the file, as a record writing to the stream
            // itself would leave it.
            writer.flush(out);
            return recordFailed();
        }
        // A block that failed to go out stops the run at the next record.
        if (writer.error() != 0) {
            return writeFailed(outPath, writer.error());
        }
        record.advanceAddress();
    }
    record.setType(Terminator);
    const int result = put(record, writer, out);
    if (!writer.flush(out)) {
        return writeFailed(outPath, writer.error());
    }
    return result == 0 ? 0 : recordFailed();
}

} // namespace

int mksrecMain(int argc, char* argv[]) {
    SRecord record;
    if (argc != 5) {
        std::fputs("Incorrect number of arguments.\n", stderr);
        usage(argc > 0 && argv[0] != nullptr ? argv[0] : "mksrec");
        return -1;
    }
    const char* inPath = argv[3];
    const char* outPath = argv[4];

    const std::int32_t bytesPerRecord = parseDecimal(argv[1]);
    // Each setting is flushed at once to stay ahead of any error after it in a shared log.
    std::printf("Setting the number of data bytes per record to %d\n", bytesPerRecord);
    std::fflush(stdout);
    // Every read would ask for nothing: the whole input would be dropped without a word.
    if (bytesPerRecord == 0) {
        std::fputs("ERROR:  Can't have 0 bytes per record.\n", stderr);
        return -1;
    }
    // Released last: the files below are declared after them, so they close before them.
    ChunkReader reader(bytesPerRecord);
    LineWriter writer;
    if (!reader.valid() || !writer.valid()) {
        std::fputs("ERROR:  Unable to allocate buffer.\n", stderr);
        return -1;
    }

    const std::optional<std::uint32_t> start = parseHex(argv[2]);
    if (!start) {
        std::fprintf(stderr, "ERROR:  Invalid start address '%s'.\n", argv[2]);
        return -1;
    }
    std::printf("Setting start address to 0x%06x\n", *start);
    std::fflush(stdout);
    record.setAddress(*start);

    // Declared output first so that the input is closed first on every path.
    File out;
    File in(std::fopen(inPath, "rb"));
    if (!in) {
        std::fprintf(stderr, "ERROR:  Can't open file '%s' for reading.\n", inPath);
        return -1;
    }
    if (isSameRegularFile(inPath, outPath)) {
        std::fprintf(stderr, "ERROR:  Output file '%s' is the input file.\n", outPath);
        return -1;
    }
    // Binary mode: the writer supplies the CR LF itself, and a text stream would write its
    // LF as CR LF where the C library does that (Windows), ending every line CR CR LF.
    out.reset(std::fopen(outPath, "wb"));
    if (!out) {
        std::fprintf(stderr, "ERROR:  Can't open file '%s' for writing.\n", outPath);
        return -1;
    }

    // The reader and the writer do the buffering, a block at a time; a second copy
    // through the streams' own buffers would only cost time.
    std::setvbuf(in.get(), nullptr, _IONBF, 0);
    std::setvbuf(out.get(), nullptr, _IONBF, 0);
    const int result = convert(record, reader, in.get(), inPath, writer, out.get(), outPath);
    in.reset();
    if (std::fclose(out.release()) != 0 && result == 0) {
        return writeFailed(outPath, errno);
    }
    return result;
}
