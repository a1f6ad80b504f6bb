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

    // The data line of `count` bytes at `address` (a writable data record, line.h), at p;
    // returns its checksum.
    static std::uint32_t line(char* p, std::uint32_t address, const std::uint8_t* data,
                              std::uint32_t count) {
        p = putByte(putKind(p, dataKind), countField(count));
        p = putAddress(p, address);
        std::uint32_t sum = countField(count) + addressSum(address);
        for (std::uint32_t i = 0; i < count; ++i) {
            p = putByte(p, data[i]);
            sum += data[i];
        }
        putLineEnd(putByte(p, ~sum));
        return ~sum & 0xFF;
    }
};

} // namespace mksrec::encoding

#endif
