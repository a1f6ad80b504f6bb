// SPDX-License-Identifier: MIT
// The floor: what converting costs at the least. Reads the input with read() and writes as
// many bytes as its S-record file has with write(), streamed (the output of each block of
// input goes out before the next is read) in page-aligned 256 KiB blocks, formatting
// nothing. POSIX only, like the benchmark that runs it.
// Usage: mksrec_floor <bytes/record> <infile> <outfile>

#include "line.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using mksrec::dataLineLength;

constexpr std::size_t blockSize = std::size_t{256} * 1024;

bool writeAll(int fd, const char* block, std::size_t size) {
    while (size > 0) {
        const ssize_t done = write(fd, block, size);
        if (done <= 0) {
            return false;
        }
        block += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fputs("usage: mksrec_floor <bytes/record> <infile> <outfile>\n", stderr);
        return 2;
    }
    const auto perRecord = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
    const int in = open(argv[2], O_RDONLY);
    const int out = open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    struct stat input {};
    void* memory = nullptr;
    if (perRecord == 0 || in < 0 || out < 0 || fstat(in, &input) != 0 ||
        posix_memalign(&memory, static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), 2 * blockSize) !=
            0) {
        std::fputs("mksrec_floor: bad arguments\n", stderr);
        return 2;
    }
    char* const buffer = static_cast<char*>(memory);
    char* const output = buffer + blockSize;
    std::memset(output, 'S', blockSize);
    // The S-record file's length: a line per record, the last one shorter where the input
    // ends inside it, then the S8 line, as long as a data line without data.
    const auto size = static_cast<std::uint64_t>(input.st_size);
    const auto rest = static_cast<std::uint32_t>(size % perRecord);
    const std::uint64_t total = size / perRecord * dataLineLength(perRecord) +
                                (rest > 0 ? dataLineLength(rest) : 0) + dataLineLength(0);
    // Written in step with the input: after each block read, the share of the output that
    // its bytes make, in whole blocks.
    std::uint64_t consumed = 0;
    std::uint64_t written = 0;
    for (ssize_t got; (got = read(in, buffer, blockSize)) != 0;) {
        if (got < 0) {
            return 1;
        }
        consumed += static_cast<std::uint64_t>(got);
        for (; (total - dataLineLength(0)) * consumed / size - written >= blockSize;
             written += blockSize) {
            if (!writeAll(out, output, blockSize)) {
                return 1;
            }
        }
    }
    const bool finished = writeAll(out, output, static_cast<std::size_t>(total - written));
    std::free(memory);
    return finished && close(out) == 0 && close(in) == 0 ? 0 : 1;
}
