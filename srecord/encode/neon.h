// SPDX-License-Identifier: MIT
#ifndef MKSREC_ENCODE_NEON_H
#define MKSREC_ENCODE_NEON_H

#include "vector.h"

#include <arm_neon.h>

#include <cstddef>
#include <cstdint>

namespace mksrec::encoding {

namespace neon {

// The digits of the first eight bytes of `bytes` at p, those of the last eight at p + 16
// if `both`: each nibble looked up in the sixteen digits.
inline void putDigits(char* p, uint8x16_t bytes, bool both) {
    const uint8x16_t digits = vld1q_u8(reinterpret_cast<const std::uint8_t*>(hexDigits));
    const uint8x16_t high = vqtbl1q_u8(digits, vshrq_n_u8(bytes, 4));
    const uint8x16_t low = vqtbl1q_u8(digits, vandq_u8(bytes, vdupq_n_u8(0x0F)));
    auto* out = reinterpret_cast<std::uint8_t*>(p);
    vst1q_u8(out, vzip1q_u8(high, low));
    if (both) {
        vst1q_u8(out + 16, vzip2q_u8(high, low));
    }
}

} // namespace neon

// AArch64 (every one has NEON), little-endian: sixteen bytes to their thirty-two digits at
// once.
struct Neon {
    static constexpr std::uint32_t registerBytes = 16;
    static_assert(
        maxDataBytes <= registerBytes,
        "Neon::line() takes a record's data in one register: extend it for larger records");
    // The data bytes that share the first register with the header; the rest take a second.
    static constexpr std::uint32_t firstData = registerBytes - vector::headerLength;
    // line() stores whole registers' digits: 32 from the count on for the first register,
    // and 16 for the second, of which a record's last data bytes use 8 at most. The line's
    // room must take them.
    static constexpr std::size_t storeReach = 2 + 3 * std::size_t{registerBytes};
    static_assert(storeReach <= maxLineLength,
                  "Neon::line() stores up to storeReach characters from a line's start: "
                  "maxLineLength (line.h) must leave room for them");
    // No kernels for many lines at once: every line goes through line().
    static constexpr bool kernels = false;

    static std::uint32_t line(char* p, std::uint32_t address, const std::uint8_t* data,
                              std::uint32_t count) {
        using neon::putDigits;
        p[0] = 'S';
        p[1] = dataKind;
        if (count <= 4) {
            const uint8x8_t bytes = vcreate_u8(vector::shortRecord(address, data, count));
            putDigits(p + 2, vcombine_u8(bytes, vdup_n_u8(0)), false);
            return vector::putTail(p, count, vaddlv_u8(bytes));
        }
        uint8x16_t bytes;
        if (count == registerBytes) {
            bytes = vld1q_u8(data);
        } else {
            const vector::Padded padded = vector::loadPadded(data, count);
            bytes = vcombine_u8(vcreate_u8(padded.low), vcreate_u8(padded.high));
        }
        const std::uint32_t header = vector::headerBytes(address, count);
        // The header from the top four lanes of a register that holds it in every four.
        const uint8x16_t first =
            vextq_u8(vreinterpretq_u8_u32(vdupq_n_u32(header)), bytes, firstData);
        putDigits(p + 2, first, true);
        if (count > firstData) {
            putDigits(p + 2 + std::size_t{2} * registerBytes,
                      vextq_u8(bytes, vdupq_n_u8(0), firstData), false);
        }
        // The padding is zero, so summing all sixteen lanes adds up just the record's bytes.
        return vector::putTail(p, count, vaddlvq_u8(bytes) + vaddlv_u8(vcreate_u8(header)));
    }
};

} // namespace mksrec::encoding

#endif
