// SPDX-License-Identifier: MIT
#include "run.h"
#include "encode.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace mksrec {

namespace {

// The end line has no data and an all-zero address, so it is the same characters in every
// file: made once, at compile time, from the line's rules.
struct EndLine {
    std::array<char, dataLineLength(0)> text{};
    constexpr EndLine() {
        const auto& count = encoding::hexPairs.pair[countField(0)];
        // The checksum: the address adds nothing.
        const auto& checksum = encoding::hexPairs.pair[~countField(0) & 0xFF];
        text[0] = recordMark;
        text[1] = endKind;
        text[2] = count[0];
        text[3] = count[1];
        for (std::size_t at = 4; at < 4 + 2 * addressBytes; ++at) {
            text[at] = hexDigits[0];
        }
        text[4 + 2 * addressBytes] = checksum[0];
        text[5 + 2 * addressBytes] = checksum[1];
        for (std::size_t at = 0; at < lineEndLength; ++at) {
            text[6 + 2 * addressBytes + at] = lineEnd[at];
        }
    }
};
constexpr EndLine endLine{};

} // namespace

char* RecordRun::putEnd(char* out) {
    std::memcpy(out, endLine.text.data(), endLine.text.size());
    return out + endLine.text.size();
}

RecordRun::Put RecordRun::put(char* out, const char* limit, const std::uint8_t* data,
                              std::size_t bytes, std::uint32_t size) {
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
