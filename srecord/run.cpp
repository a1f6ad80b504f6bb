// SPDX-License-Identifier: MIT
#include "run.h"
#include "encode.h"

#include <algorithm>

namespace mksrec {

namespace {

// Same text as printf("%0*x", minDigits, value): lowercase, zero-padded, never cut.
char* putHex(char* p, std::uint32_t value, int minDigits) {
    int digits = 1;
    while (digits < 8 && (value >> (4 * digits)) != 0) {
        ++digits;
    }
    if (digits < minDigits) {
        digits = minDigits;
    }
    for (int i = digits - 1; i >= 0; --i) {
        p[i] = hexDigits[value & 0xF];
        value >>= 4;
    }
    return p + digits;
}

} // namespace

char* putEndLine(char* out, std::uint32_t count) {
    char* p = out;
    *p++ = 'S';
    *p++ = endKind;
    p = putHex(p, countField(count), 2);
    p = putHex(p, 0, 2 * addressBytes);
    p = encoding::putByte(p, ~countField(count));
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

char* RecordRun::putEnd(char* out) {
    return putEndLine(out, 0);
}

RecordRun::Put RecordRun::put(char* out, const char* limit, const std::uint8_t* data,
                              std::size_t bytes) {
    // Worked on in locals that no store into the caller's memory can alias: the count
    // checked below stays in a register, known to be valid, and the encoder's loop over the
    // data bytes is unrolled.
    encoding::Run run{next, data, size};
    char* p = out;
    std::size_t left = bytes;
    while (left > 0 && p < limit) {
        run.count = left < size ? static_cast<std::uint32_t>(left) : size;
        const Refusal reason = dataRefusal(run.address, run.count);
        if (reason != Refusal::None) {
            refused = reason;
            refusedBytes = run.count;
            p = encoding::putRefusedStart(p, run.count, reason);
            break;
        }
        const std::size_t length = dataLineLength(run.count);
        // As many lines as begin before the limit and end below the top.
        const std::size_t lines =
            std::min({left / run.count, std::size_t{recordsBelowTop(run.address, run.count)},
                      static_cast<std::size_t>(limit - p - 1) / length + 1});
        run = encoding::encodeLines(p, run, lines);
        p += lines * length;
        left -= lines * run.count;
    }
    next = run.address;
    return {p, bytes - left};
}

} // namespace mksrec
