// The floor: what converting costs at the least. Reads the input and writes as many bytes
// as its S-record file has, 64 KiB at a time, formatting nothing.
// Usage: mksrec_floor <bytes/record> <infile> <outfile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fputs("usage: mksrec_floor <bytes/record> <infile> <outfile>\n", stderr);
        return 2;
    }
    const std::uint64_t perRecord = std::strtoull(argv[1], nullptr, 10);
    std::FILE* in = std::fopen(argv[2], "rb");
    std::FILE* out = std::fopen(argv[3], "w");
    if (perRecord == 0 || in == nullptr || out == nullptr) {
        std::fputs("mksrec_floor: bad arguments\n", stderr);
        return 2;
    }
    std::vector<char> block(std::size_t{64} * 1024);
    std::uint64_t inputSize = 0;
    for (std::size_t got; (got = std::fread(block.data(), 1, block.size(), in)) > 0;) {
        inputSize += got;
    }
    // Every line has "S2", count, six address digits, checksum and CR LF (14 characters)
    // plus two per data byte; the S8 line is 14 characters.
    const std::uint64_t lines = (inputSize + perRecord - 1) / perRecord;
    std::uint64_t left = 14 * (lines + 1) + 2 * inputSize;
    std::memset(block.data(), 'S', block.size());
    while (left > 0) {
        const std::size_t size =
            left < block.size() ? static_cast<std::size_t>(left) : block.size();
        if (std::fwrite(block.data(), 1, size, out) != size) {
            return 1;
        }
        left -= size;
    }
    return std::fclose(out) == 0 && std::fclose(in) == 0 ? 0 : 1;
}
