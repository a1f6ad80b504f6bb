// SPDX-License-Identifier: MIT
#ifndef MKSREC_ENCODE_VECTOR_H
#define MKSREC_ENCODE_VECTOR_H

// What the vector encoders share: the record's bytes gathered into registers, read without
// touching a byte past the record. Both hex-encode the four header bytes (count, address)
// and the first twelve data bytes as one register of sixteen, and the last four data bytes,
// when there are more than twelve, as a second; a record of up to four bytes takes eight
// lanes of one. Their stores run past the line's end, up to storeReach characters from its
// start, which a Line holds.

#include "../line.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(_MSC_VER)
#include <stdlib.h> // _byteswap_ulong
#endif

namespace mksrec::encoding::vector {

// The header: the count byte and the address bytes, hex-encoded with the data before them.
constexpr std::uint32_t headerLength = 1 + addressBytes;

// A register's bytes: a record's data fit in one.
constexpr std::uint32_t registerBytes = 16;
static_assert(maxDataBytes <= registerBytes,
              "the vector encoders take a record's data in one register: extend them for "
              "larger records");
// The data bytes that share the first register with the header; the rest, four at most,
// take a second.
constexpr std::uint32_t firstData = registerBytes - headerLength;
// line() stores whole registers' digits from the count on: 32 for the first register, and
// 8, the digits of four bytes, for the second. The line's room must take them.
constexpr std::size_t storeReach = 2 + 2 * std::size_t{registerBytes} + 8;
static_assert(storeReach <= maxLineLength,
              "the vector encoders' line() stores up to storeReach characters from a line's "
              "start: maxLineLength (line.h) must leave room for them");

// headerBytes() packs the count into the address's empty top byte: four header bytes in a
// 32-bit word.
static_assert(addressBytes == 3, "vector.h: headerBytes() packs count and address into 32 bits; "
                                 "extend it, and sse2.h and neon.h, for another address width");

// The first `count` (5 to 15: more than shortRecord() takes, less than a register) bytes at
// `data` as a little-endian 128-bit value, zeros after them, read without touching a byte
// past them: overlapping loads of 8 or 4 bytes.
struct Padded {
    std::uint64_t low;
    std::uint64_t high;
};
inline Padded loadPadded(const std::uint8_t* data, std::uint32_t count) {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    if (count >= 8) {
        std::memcpy(&low, data, 8);
        if (count > 8) {
            std::memcpy(&high, data + count - 8, 8);
            high >>= 8 * (16 - count);
        }
    } else {
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        std::memcpy(&first, data, 4);
        std::memcpy(&last, data + count - 4, 4);
        low = first | (std::uint64_t{last} >> (8 * (8 - count)) << 32);
    }
    return {low, high};
}

// The count and address bytes in line order, the first in the lowest byte: the address's
// bytes reversed, its empty top byte making room for the count.
inline std::uint32_t headerBytes(std::uint32_t address, std::uint32_t count) {
#if defined(__GNUC__)
    const std::uint32_t reversed = __builtin_bswap32(address);
#elif defined(_MSC_VER)
    const std::uint32_t reversed = _byteswap_ulong(address);
#else
    const std::uint32_t reversed =
        (address & 0xFF) << 24 | (address & 0xFF00) << 8 | (address >> 8 & 0xFF00) | address >> 24;
#endif
    return reversed | countField(count);
}

// A record of one to four bytes: the header and the data, read a byte at a time, in the
// lowest eight bytes of a register.
inline std::uint64_t shortRecord(std::uint32_t address, const std::uint8_t* data,
                                 std::uint32_t count) {
    std::uint32_t bytes = 0;
    switch (count) {
    case 4:
        bytes = std::uint32_t{data[3]} << 24;
        [[fallthrough]];
    case 3:
        bytes |= std::uint32_t{data[2]} << 16;
        [[fallthrough]];
    case 2:
        bytes |= std::uint32_t{data[1]} << 8;
        [[fallthrough]];
    default:
        bytes |= data[0];
    }
    return headerBytes(address, count) | std::uint64_t{bytes} << 32;
}

// The checksum of a line whose bytes sum to `sum`, its digits and the line end in one store at the
// line's last four characters (every target with a vector encoder is little-endian);
// returns the checksum.
inline std::uint32_t putTail(char* line, std::uint32_t count, std::uint32_t sum) {
    std::uint16_t digits = 0;
    std::memcpy(&digits, hexPairs.pair[~sum & 0xFF].data(), 2);
    const std::uint32_t tail = digits |
                               std::uint32_t{static_cast<unsigned char>(lineEnd[0])} << 16 |
                               std::uint32_t{static_cast<unsigned char>(lineEnd[1])} << 24;
    std::memcpy(line + dataLineLength(count) - 4, &tail, 4);
    return ~sum & 0xFF;
}

} // namespace mksrec::encoding::vector

#endif
