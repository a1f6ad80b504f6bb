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

// A run of data records of `count` bytes each, every one right behind the one before in the
// address space and in the input: where the next one starts and whose bytes it shows.
// encodeLines() moves it past the lines it writes.
struct Run {
    std::uint32_t address;
    const std::uint8_t* data;
    std::uint32_t count;

    void advance(std::size_t records) {
        // A run ends at or below maxAddress (line.h), far below 2^32: no wrap.
        address += static_cast<std::uint32_t>(records) * count;
        data += records * count;
    }
};

// The lines of the run's next `lines` records, back to back from p, none of them one that
// line.h refuses; returns the run moved past them. Writes up to maxLineLength characters
// from the last line's start. Where the encoder has kernels, they take the runs
// they are made for, one-byte lines from the first address they can start at; every other
// line goes through line().
template <typename E = Encoder> [[nodiscard]] Run encodeLines(char* p, Run run, std::size_t lines) {
    const std::size_t length = dataLineLength(run.count);
    if constexpr (E::kernels) {
        if (run.count == 1) {
            for (; lines > 0 && run.address % E::onesAtOnce != 0; --lines, p += length) {
                E::line(p, run.address, run.data, 1);
                run.advance(1);
            }
            for (; lines >= E::onesAtOnce; lines -= E::onesAtOnce, p += E::onesAtOnce * length) {
                E::ones(p, run.address, run.data);
                run.advance(E::onesAtOnce);
            }
        } else if (run.count == E::pairedCount) {
            for (; lines >= 2; lines -= 2, p += 2 * length) {
                E::pair(p, run.address, run.data);
                run.advance(2);
            }
        }
    }
    for (; lines > 0; --lines, p += length) {
        E::line(p, run.address, run.data, run.count);
        run.advance(1);
    }
    return run;
}

} // namespace mksrec::encoding

#endif
