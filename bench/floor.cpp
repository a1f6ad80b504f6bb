// SPDX-License-Identifier: MIT
// The floor: what converting costs at the least. Reads the input with read() and writes as
// many bytes as its S-record file has with write(), streamed (the output of each block of
// input goes out before the next is read) in page-aligned 256 KiB blocks, formatting
// nothing. POSIX only, like the benchmark that runs it.
// Usage: mksrec_floor <bytes/record> <infile> <outfile>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

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
    const std::uint64_t perRecord = std::strtoull(argv[1], nullptr, 10);
    const int in = open(argv[2], O_RDONLY);
    const int out = open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    void* memory = nullptr;
    if (perRecord == 0 || in < 0 || out < 0 ||
        posix_memalign(&memory, static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), 2 * blockSize) !=
            0) {
        std::fputs("mksrec_floor: bad arguments\n", stderr);
        return 2;
    }
    char* const input = static_cast<char*>(memory);
    char* const output = input + blockSize;
    std::memset(output, 'S', blockSize);
    // Every line has "S2", count, six address digits, checksum and CR LF (14 characters)
    // plus two per data byte; the S8 line is 14 characters.
    std::uint64_t pending = 0;
    std::uint64_t inRecord = 0; // bytes of the current record read so far
    for (ssize_t got; (got = read(in, input, blockSize)) != 0;) {
        if (got < 0) {
            return 1;
        }
        const auto bytes = static_cast<std::uint64_t>(got);
        // Lines begun by this block.
        const std::uint64_t lines =
            (inRecord + bytes + perRecord - 1) / perRecord - (inRecord + perRecord - 1) / perRecord;
        inRecord = (inRecord + bytes) % perRecord;
        pending += 2 * bytes + 14 * lines;
        for (; pending >= blockSize; pending -= blockSize) {
            if (!writeAll(out, output, blockSize)) {
                return 1;
            }
        }
    }
    pending += 14;
    const bool written = writeAll(out, output, static_cast<std::size_t>(pending));
    std::free(memory);
    return written && close(out) == 0 && close(in) == 0 ? 0 : 1;
}
