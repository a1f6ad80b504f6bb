// mksrec: converts a raw binary memory image into Motorola S-records, one S2 line per chunk
// of input at consecutive 24-bit addresses, closed by an S8 line.

#include "convert.h"
#include "srecord.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

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

// Opening the output truncates it, so an output that is the input itself (by path, hard
// link or symbolic link) would destroy the data before the first read.
bool isSameRegularFile(const char* inPath, const char* outPath) {
    std::error_code ec;
    return std::filesystem::is_regular_file(outPath, ec) &&
           std::filesystem::equivalent(inPath, outPath, ec);
}

int writeFailed() {
    std::fputs("ERROR:  Problem writing exo file.\n", stderr);
    return -1;
}

// errno belongs to the stream operation that failed: callers report it before anything
// else can change it.
int streamFailed(const char* path) {
    std::fprintf(stderr, "ERROR:  Can't write file '%s': %s.\n", path, std::strerror(errno));
    return writeFailed();
}

// Writes one S2 line per chunk of input and the S8 line after them.
int convert(SRecord& record, std::uint8_t* buffer, std::size_t chunkSize, std::FILE* in,
            const char* inPath, std::FILE* out, const char* outPath) {
    record.setType(Data);
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, chunkSize, in);
        // A failed read would otherwise pass for the end of the input and yield a short
        // file reported as complete.
        if (std::ferror(in)) {
            std::fprintf(stderr, "ERROR:  Can't read file '%s': %s.\n", inPath,
                         std::strerror(errno));
            return -1;
        }
        // got <= chunkSize, which came from a positive int.
        record.setByteCount(static_cast<std::uint32_t>(got));
        if (got == 0) {
            break;
        }
        if (record.write(out) != 0) {
            return writeFailed();
        }
        // Checked after every record so that a full disk stops the run at once.
        if (std::ferror(out)) {
            return streamFailed(outPath);
        }
        record.advanceAddress();
    }
    record.setType(Terminator);
    if (record.write(out) != 0) {
        return writeFailed();
    }
    if (std::ferror(out) || std::fflush(out) != 0) {
        return streamFailed(outPath);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
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
    // Released last: the files below are declared after it, so they close before it.
    std::unique_ptr<std::uint8_t[]> buffer;
    if (bytesPerRecord > 0) {
        buffer.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytesPerRecord)]);
    }
    if (!buffer) {
        std::fputs("ERROR:  Unable to allocate buffer.\n", stderr);
        return -1;
    }
    record.setData(buffer.get());

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
    // Text mode, as S-record files are text; the writer supplies the CR LF itself.
    out.reset(std::fopen(outPath, "w"));
    if (!out) {
        std::fprintf(stderr, "ERROR:  Can't open file '%s' for writing.\n", outPath);
        return -1;
    }

    const int result = convert(record, buffer.get(), static_cast<std::size_t>(bytesPerRecord),
                               in.get(), inPath, out.get(), outPath);
    in.reset();
    if (std::fclose(out.release()) != 0 && result == 0) {
        return streamFailed(outPath);
    }
    return result;
}
