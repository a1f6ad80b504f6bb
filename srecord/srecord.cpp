// SPDX-License-Identifier: MIT
#include "srecord.h"

#include <cstdio>

namespace mksrec {

namespace {

using encoding::putByte;

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
        p[i] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    }
    return p + digits;
}

} // namespace

int SRecord::computeChecksum() {
    if (data == nullptr && type != Terminator) {
        return 2;
    }
    // The count byte's own value: the data, three address bytes and the checksum byte.
    std::uint32_t sum = byteCount + 4;
    // A terminator prints an all-zero address and no data, so neither enters its sum;
    // that keeps its checksum true to its line whatever the fields hold.
    if (type != Terminator) {
        sum += (address & 0xFF) + ((address >> 8) & 0xFF) + ((address >> 16) & 0xFF);
        for (std::uint32_t i = 0; i < byteCount; ++i) {
            sum += data[i];
        }
    }
    checksum = ~sum & 0xFF;
    return 0;
}

int SRecord::write(std::FILE* out) {
    Line line;
    const Formatted formatted = format(line);
    std::fwrite(line.data(), 1, formatted.length, out);
    return formatted.result;
}

std::size_t SRecord::formatRun(char* out, std::size_t records) {
    const std::uint32_t count = byteCount;
    if (type != Data || count - 1 >= maxDataBytes || data == nullptr ||
        address > maxAddress + 1 - count) {
        return 0;
    }
    // The records whose last byte is addressable: the same check as format(), once a run.
    const std::size_t fitting = (maxAddress + 1 - count - address) / count + 1;
    const std::size_t n = records < fitting ? records : fitting;
    if (n > 0) {
        checksum = encoding::encodeLines(out, address, data, count, n);
        // n * count is at most 2^24, the whole address space.
        address += static_cast<std::uint32_t>(n) * count;
        data += n * count;
    }
    return n;
}

// The same fields in the same order as the encoder writes them, one at a time with the
// checks between them, so that a record that fails one leaves the beginning of its line.
SRecord::Formatted SRecord::formatOther(Line& line) {
    if (type != Data && type != Terminator) {
        std::fprintf(stderr, "ERROR:  Unknown record type %d.\n", static_cast<int>(type));
        return {1, 0};
    }
    const bool isData = type == Data;
    char* const begin = line.data();
    char* p = begin;
    const auto length = [&] { return static_cast<std::size_t>(p - begin); };
    *p++ = 'S';
    *p++ = isData ? '2' : '8';

    if (isData && (byteCount == 0 || byteCount > maxDataBytes)) {
        std::fprintf(stderr, "ERROR:  Can't have %d bytes per record.\n",
                     static_cast<int>(byteCount));
        return {1, length()};
    }
    if (isData) {
        p = putByte(p, byteCount + 4); // at most 20: always two digits
        // The record's last byte must be addressable too: a loader would otherwise wrap
        // the tail of the record onto address 0.
        if (std::uint64_t{address} + byteCount - 1 > maxAddress) {
            std::fprintf(stderr, "ERROR:  Address exceeded six byte maximum.\n");
            return {1, length()};
        }
        p = putByte(p, address >> 16);
        p = putByte(p, address >> 8);
        p = putByte(p, address);
        // A data record that passed the checks above came here for want of a buffer: there
        // is nothing to print, and the checksum step refuses it.
    } else {
        p = putHex(p, byteCount + 4, 2);
        p = putHex(p, 0, 6);
    }

    if (computeChecksum() != 0) {
        std::fprintf(stderr, "ERROR:  Problem calculating checksum.\n");
        return {1, length()};
    }
    p = putByte(p, checksum);
    *p++ = '\r';
    *p++ = '\n';
    return {0, length()};
}

} // namespace mksrec
