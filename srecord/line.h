// SPDX-License-Identifier: MIT
#ifndef MKSREC_LINE_H
#define MKSREC_LINE_H

// The rules of an S2 data line, each stated once: the record's shape, what a data record may
// carry, how long its line is, and the digits it is written in. Everything that formats,
// sizes or checks a line asks here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mksrec {

// The record's shape. Data records are "S2", whose address field is three bytes wide, and
// their end record is "S8", the one that belongs to a file of S2 records.
constexpr char dataKind = '2';
constexpr char endKind = '8';
constexpr std::uint32_t addressBytes = 3;
// The largest record. 16 keeps a line under 80 characters, as loaders and editors expect.
constexpr std::uint32_t maxDataBytes = 16;
// The highest address the field holds: the last data byte of a record must lie at or below
// it, or a loader would wrap the tail of the record onto address 0.
constexpr std::uint32_t maxAddress = (std::uint32_t{1} << (8 * addressBytes)) - 1;

// The count field of a record of `dataBytes`: the bytes that follow it, the address, the
// data and the checksum byte.
constexpr std::uint32_t countField(std::uint32_t dataBytes) {
    return addressBytes + dataBytes + 1;
}
static_assert(countField(maxDataBytes) <= 0xFF, "the count field is one byte");

constexpr bool validByteCount(std::uint32_t count) {
    return count - 1 < maxDataBytes; // 1 to maxDataBytes: 0 wraps around to the top
}
// Whether a record of `count` bytes (a valid count) at `address` ends at an address that
// exists.
constexpr bool fitsBelowTop(std::uint32_t address, std::uint32_t count) {
    return address <= maxAddress + 1 - count;
}
constexpr bool writableDataRecord(std::uint32_t address, std::uint32_t count) {
    return validByteCount(count) && fitsBelowTop(address, count);
}
// How many consecutive records of `count` bytes, the first at `address` and writable, end
// at or below maxAddress.
constexpr std::uint32_t recordsBelowTop(std::uint32_t address, std::uint32_t count) {
    return (maxAddress + 1 - count - address) / count + 1;
}

// "S" and the kind, two count digits, the address's digits, two digits per data byte, two
// checksum digits, CR LF. An S8 line is as long as a data line without data.
constexpr std::size_t dataLineLength(std::uint32_t count) {
    return 2 + 2 + 2 * std::size_t{addressBytes} + 2 * std::size_t{count} + 2 + 2;
}
// The longest line a record can leave: kind, a terminator's count of up to eight digits,
// address, data, checksum, CR LF. The vector encoders store whole registers, which this
// leaves room for at every count.
constexpr std::size_t maxLineLength = 2 + 8 + 2 * addressBytes + 2 * maxDataBytes + 2 + 2;
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

// The address field's digits at p, most significant byte first; returns the end.
inline char* putAddress(char* p, std::uint32_t address) {
    for (std::uint32_t byte = addressBytes; byte-- > 0;) {
        p = putByte(p, address >> (8 * byte));
    }
    return p;
}
// The address field's bytes as the checksum adds them.
constexpr std::uint32_t addressSum(std::uint32_t address) {
    std::uint32_t sum = 0;
    for (std::uint32_t byte = 0; byte < addressBytes; ++byte) {
        sum += address >> (8 * byte) & 0xFF;
    }
    return sum;
}

} // namespace encoding

} // namespace mksrec

#endif
