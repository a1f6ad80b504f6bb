// SPDX-License-Identifier: MIT
#ifndef MKSREC_ENCODE_NEON_H
#define MKSREC_ENCODE_NEON_H

#include "vector.h"

#include <arm_neon.h>

#include <cstddef>
#include <cstdint>

namespace mksrec::encoding {

namespace neon {

// The first `digits` (8, 16 or 32) digits of `bytes` at p: each nibble looked up in the
// sixteen digits.
inline void putDigits(char* p, uint8x16_t bytes, std::size_t digits) {
    const uint8x16_t table = vld1q_u8(reinterpret_cast<const std::uint8_t*>(hexDigits));
    const uint8x16_t high = vqtbl1q_u8(table, vshrq_n_u8(bytes, 4));
    const uint8x16_t low = vqtbl1q_u8(table, vandq_u8(bytes, vdupq_n_u8(0x0F)));
    auto* out = reinterpret_cast<std::uint8_t*>(p);
    const uint8x16_t first = vzip1q_u8(high, low);
    if (digits == 8) {
        vst1_u8(out, vget_low_u8(first));
        return;
    }
    vst1q_u8(out, first);
    if (digits == 32) {
        vst1q_u8(out + 16, vzip2q_u8(high, low));
    }
}

} // namespace neon

// AArch64 (every one has NEON), little-endian: sixteen bytes to their thirty-two digits at
// once.
struct Neon {
    // No kernels for many lines at once: every line goes through line().
    static constexpr bool kernels = false;

    static std::uint32_t line(char* p, std::uint32_t address, const std::uint8_t* data,
                              std::uint32_t count) {
        using neon::putDigits;
        using vector::firstData;
        using vector::registerBytes;
        putKind(p, dataKind);
        if (count <= 4) {
            const uint8x8_t bytes = vcreate_u8(vector::shortRecord(address, data, count));
            putDigits(p + 2, vcombine_u8(bytes, vdup_n_u8(0)), 16);
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
        putDigits(p + 2, first, 32);
        if (count > firstData) {
            putDigits(p + 2 + std::size_t{2} * registerBytes,
                      vextq_u8(bytes, vdupq_n_u8(0), firstData), 8);
        }
        // The padding is zero, so summing all sixteen lanes adds up just the record's bytes.
        return vector::putTail(p, count, vaddlvq_u8(bytes) + vaddlv_u8(vcreate_u8(header)));
    }
};

} // namespace mksrec::encoding

#endif
