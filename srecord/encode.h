// SPDX-License-Identifier: MIT
#ifndef MKSREC_ENCODE_H
#define MKSREC_ENCODE_H

// The text of valid S2 lines, the one thing the converter does per record. Each encoder in
// encode/ gives the same characters: a vector one where the processor has the instructions
// (SSE2 on every x86-64, NEON on every little-endian AArch64), the portable one elsewhere
// and wherever MKSREC_PORTABLE is defined. Encoder names the one this build uses;
// MKSREC_ENCODE_VECTOR is defined when that is a vector one. All inline, so that the
// conversion loop calls nothing per record.

#include "encode/portable.h"
#include "line.h"

#include <cstddef>
#include <cstdint>

#if !defined(MKSREC_PORTABLE) && (defined(__SSE2__) || defined(_M_X64))
#include "encode/sse2.h"
#define MKSREC_ENCODE_VECTOR 1
namespace mksrec::encoding {
using Encoder = Sse2;
}
#elif !defined(MKSREC_PORTABLE) && (defined(__ARM_NEON) || defined(_M_ARM64)) &&                   \
    (defined(__aarch64__) || defined(_M_ARM64)) && !defined(__ARM_BIG_ENDIAN)
#include "encode/neon.h"
#define MKSREC_ENCODE_VECTOR 1
namespace mksrec::encoding {
using Encoder = Neon;
}
#else
namespace mksrec::encoding {
using Encoder = Portable;
}
#endif

namespace mksrec::encoding {

// Where the next line of a run goes and whose bytes it shows.
struct Cursor {
    Cursor(char* out, std::uint32_t first, const std::uint8_t* bytes, std::uint32_t perLine,
           std::size_t lines)
        : p(out), address(first), data(bytes), count(perLine), left(lines) {}

    char* p;
    std::uint32_t address;
    const std::uint8_t* data;
    std::uint32_t count;
    std::size_t left; // lines

    void advance(std::size_t lines) {
        p += lines * dataLineLength(count);
        address += static_cast<std::uint32_t>(lines) * count;
        data += lines * count;
        left -= lines;
    }
};

// The lines of `lines` consecutive records of `count` bytes each, back to back from p: the
// first with the bytes at `data` at `address`, each next one with the bytes and at the
// address right behind the one before, every one a writable data record (line.h); the last
// line's checksum. Writes up to maxLineLength characters from the last line's start. Where
// the encoder has kernels, they take the runs they are made for, one-byte lines from the
// first address they can start at; every other line goes through line().
template <typename E = Encoder>
std::uint32_t encodeLines(char* p, std::uint32_t address, const std::uint8_t* data,
                          std::uint32_t count, std::size_t lines) {
    Cursor at(p, address, data, count, lines);
    std::uint32_t checksum = 0;
    if constexpr (E::kernels) {
        if (count == 1) {
            while (at.left > 0 && at.address % E::onesAtOnce != 0) {
                checksum = E::line(at.p, at.address, at.data, count);
                at.advance(1);
            }
            while (at.left >= E::onesAtOnce) {
                checksum = E::ones(at.p, at.address, at.data);
                at.advance(E::onesAtOnce);
            }
        } else if (count == maxDataBytes) {
            while (at.left >= 2) {
                checksum = E::pairOf16(at.p, at.address, at.data);
                at.advance(2);
            }
        }
    }
    while (at.left > 0) {
        checksum = E::line(at.p, at.address, at.data, count);
        at.advance(1);
    }
    return checksum;
}

} // namespace mksrec::encoding

#endif
