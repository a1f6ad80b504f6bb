// SPDX-License-Identifier: MIT
#ifndef MKSREC_ENCODE_PORTABLE_H
#define MKSREC_ENCODE_PORTABLE_H

#include "../line.h"

#include <cstddef>
#include <cstdint>

namespace mksrec::encoding {

// Any target: one table lookup per byte, the checksum summed in the same loop. The encoder
// of every target without a vector one, and the model the vector ones are tested against.
struct Portable {
    // No kernels for many lines at once: every line goes through line().
    static constexpr bool kernels = false;

    // The S2 line of `count` (1 to 16) bytes at `address` (the last of them at most
    // 0xFFFFFF), at p; returns its checksum.
    static std::uint32_t line(char* p, std::uint32_t address, const std::uint8_t* data,
                              std::uint32_t count) {
        p[0] = 'S';
        p[1] = '2';
        p = putByte(p + 2, count + 4);
        p = putByte(p, address >> 16);
        p = putByte(p, address >> 8);
        p = putByte(p, address);
        std::uint32_t sum =
            count + 4 + (address >> 16 & 0xFF) + (address >> 8 & 0xFF) + (address & 0xFF);
        for (std::uint32_t i = 0; i < count; ++i) {
            p = putByte(p, data[i]);
            sum += data[i];
        }
        p = putByte(p, ~sum);
        p[0] = '\r';
        p[1] = '\n';
        return ~sum & 0xFF;
    }
};

} // namespace mksrec::encoding

#endif
