// SPDX-License-Identifier: MIT
// The conversion driver: arguments, settings, files, the read-and-write loop, every
// message and the exit status.

#include "driver.h"
#include "arguments.h"
#include "input.h"
#include "output.h"
#include "run.h"
#include "system.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace mksrec {

namespace {

void usage(const char* program) {
    std::fprintf(stderr, "usage:  %s <#bytes/record> <start addr in hex> <infile> <outfile>\n",
                 program);
    std::fputs("Input file is raw binary data.  Output file will be S-record format.\n", stderr);
}

// Why the rules refused a record (or, ByteCount, the count itself), on standard error.
void reportRefusal(Refusal refusal, std::uint32_t count) {
    switch (refusal) {
    case Refusal::None:
        break;
    case Refusal::ByteCount:
        std::fprintf(stderr, byteCountMessage, static_cast<int>(count));
        break;
    case Refusal::AboveTop:
        std::fputs(aboveTopMessage, stderr);
        break;
    }
}

void unableToAllocate() {
    std::fputs("ERROR:  Unable to allocate buffer.\n", stderr);
}

// When a count of data bytes per record is refused, in the order the run meets it: 0 at
// once, as every read would ask for nothing and the input would be dropped without a word; a
// negative count as a buffer that cannot be allocated; a count above the largest record at
// the first record that would carry more, so that an input that fits in one record is still
// converted whole.
enum class CountRefused { Never, AtOnce, AsAllocation, AtLargeRecord };
CountRefused whenRefused(std::int32_t count) {
    if (count == 0) {
        return CountRefused::AtOnce;
    }
    if (count < 0) {
        return CountRefused::AsAllocation;
    }
    return validByteCount(static_cast<std::uint32_t>(count)) ? CountRefused::Never
                                                             : CountRefused::AtLargeRecord;
}

// The run's lines for every chunk of input, then the end line; returns Done when the whole
// file went into the writer, or the step that stopped it.
Status convert(ChunkReader& reader, RecordRun& run, BlockWriter& writer) {
    Chunks chunks;
    Status status = Status::Ok;
    while ((status = reader.next(chunks)) == Status::Ok) {
        for (std::size_t at = 0; at < chunks.size;) {
            const RecordRun::Put put = run.put(writer.space(), writer.limit(), chunks.data + at,
                                               chunks.size - at, chunks.recordSize);
            at += put.taken;
            const bool written = writer.commit(put.end);
            if (run.refusal() != Refusal::None) {
                return Status::BadRecord;
            }
            if (!written) {
                return Status::WriteFailed;
            }
        }
    }
    if (status != Status::EndOfInput) {
        return status;
    }
    return writer.commit(RecordRun::putEnd(writer.space())) ? Status::Done : Status::WriteFailed;
}

// The one way out once the files are open: closes them, input first, and reports every
// failure in the order it happened. The output's first write error is reported even when
// a record or the input failed before it, since the file is then shorter still.
int finish(Status status, const RecordRun& run, ChunkReader& reader, BlockWriter& writer) {
    reportRefusal(run.refusal(), run.refusedCount());
    reader.close();
    if (status == Status::ReadFailed) {
        std::fprintf(stderr, "ERROR:  Can't read file '%s': %s.\n", reader.path(),
                     std::strerror(reader.error()));
    }
    const bool written = writer.close();
    if (!written) {
        std::fprintf(stderr, "ERROR:  Can't write file '%s': %s.\n", writer.path(),
                     std::strerror(writer.error()));
    }
    if (status == Status::BadRecord || !written) {
        std::fputs("ERROR:  Problem writing exo file.\n", stderr);
    }
    return status == Status::Done && written ? 0 : -1;
}

} // namespace

int mksrecMain(int argc, char* argv[]) {
    ignoreBrokenPipes();
    // Before anything is printed or opened: a closed descriptor would otherwise be taken
    // by a file, and messages meant for standard error would land in it.
    const int closed = openStandardDescriptors();
    if (closed >= 0) {
        static const char* const names[] = {"input", "output", "error"};
        const int reason = errno;
        // Lands nowhere if standard error is itself the closed one: nothing else is open.
        std::fprintf(stderr, "ERROR:  Can't open /dev/null in place of closed standard %s: %s.\n",
                     names[closed], std::strerror(reason));
        return -1;
    }
    if (argc != 5) {
        std::fputs("Incorrect number of arguments.\n", stderr);
        usage(argc > 0 && argv[0] != nullptr ? argv[0] : "mksrec");
        return -1;
    }
    const char* inPath = argv[3];
    const char* outPath = argv[4];

    const Converted<std::int32_t> count = parseDecimal(argv[1]);
    // Refused before it is echoed: no setting is shown that the run would not use.
    if (count.result == Conversion::OutOfRange) {
        std::fprintf(stderr, "ERROR:  Bytes per record '%s' is out of range.\n", argv[1]);
        return -1;
    }
    const std::int32_t bytesPerRecord = count.value;
    // Each setting is flushed at once to stay ahead of any error after it in a shared log.
    std::printf("Setting the number of data bytes per record to %d\n", bytesPerRecord);
    std::fflush(stdout);
    switch (whenRefused(bytesPerRecord)) {
    case CountRefused::AtOnce:
        reportRefusal(Refusal::ByteCount, 0);
        return -1;
    case CountRefused::AsAllocation:
        unableToAllocate();
        return -1;
    case CountRefused::AtLargeRecord: // the run's ByteCount
    case CountRefused::Never:
        break;
    }
    // The reader and the writer own the buffers and the files; the files are closed on
    // every path, input first. The reader holds the record size: each chunk it hands out is
    // a record.
    ChunkReader reader(static_cast<std::uint32_t>(bytesPerRecord));
    BlockWriter writer(RecordRun::overrun);
    if (!reader.valid() || !writer.valid()) {
        unableToAllocate();
        return -1;
    }

    const Converted<std::uint32_t> start = parseHex(argv[2]);
    if (start.result == Conversion::NoDigits) {
        std::fprintf(stderr, "ERROR:  Invalid start address '%s'.\n", argv[2]);
        return -1;
    }
    if (start.result == Conversion::OutOfRange) {
        std::fprintf(stderr, "ERROR:  Start address '%s' is out of range.\n", argv[2]);
        return -1;
    }
    std::printf("Setting start address to 0x%06x\n", start.value);
    std::fflush(stdout);

    if (!reader.open(inPath)) {
        std::fprintf(stderr, "ERROR:  Can't open file '%s' for reading.\n", inPath);
        return -1;
    }
    if (isInputFile(reader.stream(), outPath)) {
        std::fprintf(stderr, "ERROR:  Output file '%s' is the input file.\n", outPath);
        return -1;
    }
    if (!writer.open(outPath)) {
        std::fprintf(stderr, "ERROR:  Can't open file '%s' for writing.\n", outPath);
        return -1;
    }
    RecordRun run(start.value);
    return finish(convert(reader, run, writer), run, reader, writer);
}

} // namespace mksrec
