// SPDX-License-Identifier: MIT
// The whole program, in-process, on random images and settings: whenever it reports
// success, its output must read back, with a reader of this file's own, to the input bytes
// at the right addresses; and it must report success exactly when the records fit.

#include "driver.h"
#include "fuzz_input.h"
#include "line.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using namespace mksrec;

namespace {

unsigned hexDigit(char c) {
    return c <= '9' ? static_cast<unsigned>(c - '0') : static_cast<unsigned>(c - 'a' + 10);
}

// Two lowercase hexadecimal digits, already checked to be such.
unsigned hexByte(const std::string& line, std::size_t at) {
    return hexDigit(line[at]) << 4 | hexDigit(line[at + 1]);
}

// Checks every line of `text` and collects the data of its S2 records: each must start
// right behind the one before, beginning at `start`, and carry `perRecord` bytes but the
// last. The S8 line must close the file.
void readBack(const std::string& text, std::uint32_t start, std::size_t perRecord,
              std::vector<std::uint8_t>& data) {
    std::size_t at = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", at);
        require(end != std::string::npos, "every line ends in CR LF");
        const std::string line = text.substr(at, end - at);
        at = end + 2;
        if (line == "S804000000fb") {
            require(at == text.size(), "nothing after the S8 line");
            return;
        }
        require(line.size() >= 14 && line.compare(0, 2, "S2") == 0, "an S2 line");
        require(line.find_first_not_of(hexDigits, 2) == std::string::npos, "lowercase hexadecimal");
        const unsigned count = hexByte(line, 2);
        // The count is that of the address, data and checksum bytes; the line lacks its CR LF.
        require(count >= 4 && line.size() + 2 == dataLineLength(count - 4),
                "count matches the line");
        unsigned sum = 0;
        for (std::size_t i = 2; i < line.size(); i += 2) {
            sum += hexByte(line, i);
        }
        require((sum & 0xFF) == 0xFF, "checksum");
        const std::uint32_t address =
            hexByte(line, 4) << 16 | hexByte(line, 6) << 8 | hexByte(line, 8);
        require(address == start + data.size(), "consecutive addresses");
        const std::size_t bytes = count - 4;
        require(bytes == perRecord || text.compare(at, std::string::npos, "S804000000fb\r\n") == 0,
                "only the last record is short");
        for (std::size_t i = 0; i < bytes; ++i) {
            data.push_back(static_cast<std::uint8_t>(hexByte(line, 10 + 2 * i)));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const std::string dir = [] {
        // Files rewritten thousands of times a second: TMPDIR=/dev/shm keeps them off the disk.
        std::random_device random;
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("mksrec-fuzz-" + std::to_string(random()));
        require(std::filesystem::create_directory(path), "a new temporary directory");
        return path.string();
    }();
    static const int cleanUp = std::atexit([] { std::filesystem::remove_all(dir); });
    (void)cleanUp;
    FuzzInput input(bytes, size);
    // Counts from -3 to 40, or just around the 64 KiB read block.
    const std::uint32_t countChoice = input.take(1);
    const int perRecord = countChoice < 200 ? static_cast<int>(countChoice % 44) - 3
                                            : 65530 + static_cast<int>(countChoice - 200);
    // Addresses anywhere in 24 bits, near the top of them, or anywhere in 32.
    const std::uint32_t addressChoice = input.take(1), raw = input.take(4);
    const std::uint32_t start = addressChoice < 128   ? raw & 0xFFFFFF
                                : addressChoice < 250 ? 0x1000000 - (raw & 0xFFFF)
                                                      : raw;
    // Sometimes the data repeated, past the 64 KiB read block.
    const std::uint32_t repeat = input.take(1) >= 250 ? 1 + input.take(1) : 1;
    std::vector<std::uint8_t> image;
    for (std::uint32_t i = 0; i < repeat && image.size() < 70000; ++i) {
        image.insert(image.end(), input.rest(), input.rest() + input.restSize());
    }

    const std::string in = dir + "/in", out = dir + "/out";
    std::ofstream(in, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));
    std::string count = std::to_string(perRecord);
    char address[16];
    std::snprintf(address, sizeof address, "%x", start);
    std::string program = "mksrec", inPath = in, outPath = out;
    char* argv[] = {program.data(), count.data(), address, inPath.data(), outPath.data(), nullptr};
    const int result = mksrecMain(5, argv);

    // Success exactly when there is a buffer and every record fits: at most 16 bytes, the
    // last of them at or below 0xffffff.
    const std::size_t n = image.size();
    const bool shortEnough = perRecord <= 16 || n <= 16;
    const bool lowEnough = static_cast<std::uint64_t>(start) + n - 1 <= 0xFFFFFF;
    const bool fits = n == 0 || (shortEnough && lowEnough);
    require(result == (perRecord >= 1 && fits ? 0 : -1), "exit status");
    if (result == 0) {
        std::ifstream file(out, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(file),
                               std::istreambuf_iterator<char>()};
        std::vector<std::uint8_t> data;
        readBack(text, start, static_cast<std::size_t>(perRecord), data);
        require(data == image, "data read back");
    }
    return 0;
}
