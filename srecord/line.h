// SPDX-License-Identifier: MIT
#ifndef MKSREC_LINE_H
#define MKSREC_LINE_H

// The rules of an S2 data line, each stated once: what a data record may carry, how long
// its line is, and the digits it is written in. Everything that formats, sizes or checks a
// line asks here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mksrec {

constexpr std::uint32_t maxDataBytes = 16;
// Three address bytes: the last data byte of a record must lie at or below this, or a loader
// would wrap the tail of the record onto address 0.
constexpr std::uint32_t maxAddress = 0xFFFFFF;

constexpr bool validByteCount(std::uint32_t count) {
    return count - 1 < maxDataBytes; // 1 to 16: 0 wraps around to the top
}
// Whether a record of `count` bytes (1 to 16) at `address` ends at an address that exists.
constexpr bool fitsBelowTop(std::uint32_t address, std::uint32_t count) {
    return address <= maxAddress + 1 - count;
}
constexpr bool writableDataRecord(std::uint32_t address, std::uint32_t count) {
    return validByteCount(count) && fitsBelowTop(address, count);
}

// "S2", two count digits, six address digits, two digits per data byte, two checksum digits,
// CR LF. An S8 line is as long as a data line without data.
constexpr std::size_t dataLineLength(std::uint32_t count) {
    return 14 + 2 * std::size_t{count};
}
// The longest line a record can leave: kind, a terminator's count of up to eight digits,
// address, data, checksum, CR LF. The vector encoders store whole registers, which this
// leaves room for at every count.
constexpr std::size_t maxLineLength = 2 + 8 + 6 + 2 * maxDataBytes + 2 + 2;
using Line = std::array<char, maxLineLength>;

// Lowercase, as every number in the file is written.
inline constexpr char hexDigits[] = "0123456789abcdef";

namespace encoding {

// The two digits of every byte value.
struct HexPairs {
    std::array<std::array<char, 2>, 256> pair{};
    constexpr HexPairs() {
        for (unsigned v = 0; v < 256; ++v) {
            pair[v] = {hexDigits[v >> 4], hexDigits[v & 0xF]};
        }
    }
};
inline constexpr HexPairs hexPairs{};

// The two digits of the low byte of `value` at p; returns p + 2.
inline char* putByte(char* p, std::uint32_t value) {
    std::memcpy(p, hexPairs.pair[value & 0xFF].data(), 2);
    return p + 2;
}

} // namespace encoding

} // namespace mksrec

#endif
