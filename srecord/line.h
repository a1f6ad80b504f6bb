// SPDX-License-Identifier: MIT
#ifndef MKSREC_LINE_H
#define MKSREC_LINE_H

// The rules of a data line, each stated once: the record's shape, what a data record may
// carry, how long its line is, and the digits it is written in. Everything that formats,
// sizes or checks a line asks here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mksrec {

// The record's shape: the address field's width in bytes. Three gives "S2" data records and
// their "S8" end record; the kinds follow from the width (S1/S9 for two bytes, S3/S7 for
// four), so that a line never claims a width its address field does not have.
constexpr std::uint32_t addressBytes = 3;
static_assert(addressBytes >= 2 && addressBytes <= 4,
              "S-records have address fields of two (S1/S9), three (S2/S8) or four (S3/S7) bytes");
// A run's addresses are 32-bit, so only a narrower field has a top that a run can stop at:
// past the top of a four-byte one they would wrap to 0.
static_assert(addressBytes < 4, "a four-byte address field needs the run's addresses "
                                "(encoding::Run, RecordRun) wider than 32 bits, to stop at its "
                                "top instead of wrapping around to 0");
// Every line opens with the record mark and the kind's digit, and ends in CR LF, which
// loaders on every system accept.
constexpr char recordMark = 'S';
constexpr char dataKind = static_cast<char>('1' + (addressBytes - 2));
constexpr char endKind = static_cast<char>('9' - (addressBytes - 2));
// The largest record. 16 keeps a line under 80 characters, as loaders and editors expect.
constexpr std::uint32_t maxDataBytes = 16;
// The highest address the field holds: the last data byte of a record must lie at or below
// it, or a loader would wrap the tail of the record onto address 0. Shifted down from all
// ones, so that no width needs a shift by 32 or more.
constexpr std::uint32_t maxAddress = 0xFFFFFFFFu >> (addressBytes < 4 ? 8 * (4 - addressBytes) : 0);

// The count field of a record of `dataBytes`: the bytes that follow it, the address, the
// data and the checksum byte.
constexpr std::uint32_t countField(std::uint32_t dataBytes) {
    return addressBytes + dataBytes + 1;
}
static_assert(countField(maxDataBytes) <= 0xFF, "the count field is one byte");

// Why the rules refuse a data record, in the order its line is written: the count is checked
// before its digits, the address before its digits.
enum class Refusal { None, ByteCount, AboveTop };
// What each refusal says on standard error, whether SRecord::write() or the converter meets
// it; the count as a signed decimal.
inline constexpr char byteCountMessage[] = "ERROR:  Can't have %d bytes per record.\n";
inline constexpr char aboveTopMessage[] = "ERROR:  Address exceeded six byte maximum.\n";

constexpr bool validByteCount(std::uint32_t count) {
    return count - 1 < maxDataBytes; // 1 to maxDataBytes: 0 wraps around to the top
}
// ByteCount, AboveTop (the record's last byte lies above maxAddress) or None.
constexpr Refusal dataRefusal(std::uint32_t address, std::uint32_t count) {
    if (!validByteCount(count)) {
        return Refusal::ByteCount;
    }
    return address <= maxAddress + 1 - count ? Refusal::None : Refusal::AboveTop;
}
// How many consecutive records of `count` bytes, the first at `address` and not refused,
// end at or below maxAddress.
constexpr std::uint32_t recordsBelowTop(std::uint32_t address, std::uint32_t count) {
    return (maxAddress + 1 - count - address) / count + 1;
}

inline constexpr char lineEnd[] = "\r\n";
constexpr std::size_t lineEndLength = sizeof lineEnd - 1;

// The mark and the kind, two count digits, the address's digits, two digits per data byte,
// two checksum digits, the line end. An end line is as long as a data line without data.
constexpr std::size_t dataLineLength(std::uint32_t count) {
    return 2 + 2 + 2 * std::size_t{addressBytes} + 2 * std::size_t{count} + 2 + lineEndLength;
}
// The longest line: the room a line is formatted in, and as far as the vector encoders'
// stores reach from a line's start (vector.h asserts that they do not reach further).
constexpr std::size_t maxLineLength = dataLineLength(maxDataBytes);
using Line = std::array<char, maxLineLength>;

// Lowercase, as every number in the file is written: the one place the digits' case is
// chosen (the SSE2 encoder computes its letters from hexDigits[10]).
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

// The record mark and `kind` at p; returns their end.
inline char* putKind(char* p, char kind) {
    p[0] = recordMark;
    p[1] = kind;
    return p + 2;
}
// The line end at p; returns its end.
inline char* putLineEnd(char* p) {
    std::memcpy(p, lineEnd, lineEndLength);
    return p + lineEndLength;
}

// The beginning of a data line that dataRefusal() refuses, up to the field that fails: the
// kind, and the count's digits when the count is valid. Returns its end.
inline char* putRefusedStart(char* p, std::uint32_t count, Refusal refusal) {
    p = putKind(p, dataKind);
    return refusal == Refusal::ByteCount ? p : putByte(p, countField(count));
}

} // namespace encoding

} // namespace mksrec

#endif
