// SPDX-License-Identifier: MIT
// The encoders of a data line against the line's format worked out field by field with
// printf, and against each other, on random data at every count and at addresses around a
// 64 KiB and the 16 MiB boundary. Each record's data sits at the very end of its own
// allocation, so that a read past it shows under the sanitizers.

#include "encode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace mksrec;

namespace {

std::string expectedLine(std::uint32_t address, const std::uint8_t* data, std::uint32_t count,
                         std::uint32_t& checksum) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x", count + 4);
    std::string line = std::string("S2") + text;
    std::snprintf(text, sizeof text, "%06x", address);
    line += text;
    std::uint32_t sum = count + 4 + (address >> 16) + (address >> 8 & 0xFF) + (address & 0xFF);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::snprintf(text, sizeof text, "%02x", data[i]);
        line += text;
        sum += data[i];
    }
    checksum = ~sum & 0xFF;
    std::snprintf(text, sizeof text, "%02x\r\n", checksum);
    return line + text;
}

using LineEncoder = std::uint32_t (*)(char*, std::uint32_t, const std::uint8_t*, std::uint32_t);

// Every count from 1 to 16 at every address from 32 below to 32 above `boundary` at which
// the record fits below 16 MiB, each with fresh random bytes (all 0x00 and all 0xff among
// them, the extremes of digits and sum).
void compareAround(LineEncoder encoder, std::uint32_t boundary) {
    std::mt19937 random(boundary);
    for (std::uint32_t count = 1; count <= maxDataBytes; ++count) {
        for (std::uint32_t address = boundary - 32; address <= boundary + 32; ++address) {
            if (address + count - 1 > 0xFFFFFF) {
                break;
            }
            std::vector<std::uint8_t> data(count);
            for (std::uint8_t& byte : data) {
                const auto r = static_cast<std::uint8_t>(random());
                byte = address == boundary ? 0x00 : address == boundary + 1 ? 0xFF : r;
            }
            std::uint32_t checksum = 0;
            const std::string expected = expectedLine(address, data.data(), count, checksum);
            // Characters past the line's end are the encoder's to overwrite; they must not
            // leak into its length.
            Line line;
            line.fill('#');
            const std::uint32_t got = encoder(line.data(), address, data.data(), count);
            const std::string text(line.data(), dataLineLength(count));
            ASSERT_EQ(text, expected) << "count " << count << " address " << address;
            ASSERT_EQ(got, checksum) << "count " << count << " address " << address;
        }
    }
}

TEST(Encode, PortableMatchesFormatNear64KiB) {
    compareAround(encoding::Portable::line, 0x10000);
}
TEST(Encode, PortableMatchesFormatNear16MiB) {
    compareAround(encoding::Portable::line, 0x1000000);
}

// A run of lines against the portable encoder a line at a time, at every count, for runs
// of one to nine lines and around multiples of sixteen (one-byte lines go sixteen at a time
// from an address that is a multiple of sixteen where the encoder can): ending
// at the top of the address space, crossing a 64 KiB boundary, from an unaligned address
// below the first multiple of sixteen, anywhere; the run moved past them. The data end
// where their allocation does and the run has exactly the room it is promised, so that a
// step past either shows under the sanitizers.
TEST(Encode, RunMatchesLineByLine) {
    std::mt19937 random(16);
    const std::uint32_t runs[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 300};
    for (std::uint32_t count = 1; count <= maxDataBytes; ++count) {
        const std::size_t length = dataLineLength(count);
        for (const std::uint32_t lines : runs) {
            for (int round = 0; round < 20; ++round) {
                const std::uint32_t span = count * lines;
                const std::uint32_t address =
                    round == 0   ? 0x1000000 - span
                    : round == 1 ? 0x10000 - span / 2 - 3
                    : round == 2 ? 5
                                 : static_cast<std::uint32_t>(random() % (0x1000001 - span));
                std::vector<std::uint8_t> data(span);
                for (std::uint8_t& byte : data) {
                    byte = static_cast<std::uint8_t>(random());
                }
                std::string expected;
                for (std::uint32_t i = 0; i < lines; ++i) {
                    Line line;
                    encoding::Portable::line(line.data(), address + i * count,
                                             data.data() + std::size_t{i} * count, count);
                    expected.append(line.data(), length);
                }
                std::vector<char> out((lines - 1) * length + maxLineLength, '#');
                SCOPED_TRACE("count " + std::to_string(count) + ", " + std::to_string(lines) +
                             " lines from " + std::to_string(address));
                const encoding::Run after =
                    encoding::encodeLines(out.data(), {address, data.data(), count}, lines);
                ASSERT_EQ(std::string(out.data(), expected.size()), expected);
                ASSERT_EQ(after.address, address + span);
                ASSERT_EQ(after.data, data.data() + span);
            }
        }
    }
}

#if defined(MKSREC_ENCODE_VECTOR)
TEST(Encode, VectorMatchesFormatNear64KiB) {
    compareAround(encoding::Encoder::line, 0x10000);
}
TEST(Encode, VectorMatchesFormatNear16MiB) {
    compareAround(encoding::Encoder::line, 0x1000000);
}

// Both at once on the same random records anywhere in the address space.
TEST(Encode, VectorMatchesPortable) {
    std::mt19937 random(11);
    std::vector<std::uint8_t> data(maxDataBytes);
    for (int round = 0; round < 100000; ++round) {
        const auto count = static_cast<std::uint32_t>(random() % maxDataBytes + 1);
        const auto address = static_cast<std::uint32_t>(random() % (0x1000001 - count));
        for (std::uint8_t& byte : data) {
            byte = static_cast<std::uint8_t>(random());
        }
        const std::uint8_t* end = data.data() + data.size();
        Line vector;
        Line portable;
        const std::uint32_t vectorSum =
            encoding::Encoder::line(vector.data(), address, end - count, count);
        const std::uint32_t portableSum =
            encoding::Portable::line(portable.data(), address, end - count, count);
        const std::size_t length = dataLineLength(count);
        ASSERT_EQ(std::string(vector.data(), length), std::string(portable.data(), length));
        ASSERT_EQ(vectorSum, portableSum);
    }
}
#else
TEST(Encode, Vector) {
    GTEST_SKIP() << "this build has the portable encoder only";
}
#endif

} // namespace
