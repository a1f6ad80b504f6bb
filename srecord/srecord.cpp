// SPDX-License-Identifier: MIT
#include "srecord.h"
#include "encode.h"

#include <cstdio>

namespace mksrec {

namespace {

using encoding::putAddress;
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
        p[i] = hexDigits[value & 0xF];
        value >>= 4;
    }
    return p + digits;
}

} // namespace

int SRecord::computeChecksum() {
    if (data == nullptr && type != Terminator) {
        return 2;
    }
    std::uint32_t sum = countField(byteCount);
    // A terminator prints an all-zero address and no data, so neither enters its sum;
    // that keeps its checksum true to its line whatever the fields hold.
    if (type != Terminator) {
        sum += encoding::addressSum(address);
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

// A writable data record goes to the encoder. Anything else gets the same fields in the same
// order, one at a time with the checks between them, so that a record that fails one leaves
// the beginning of its line.
SRecord::Formatted SRecord::format(Line& line) {
    const bool isData = type == Data;
    if (isData && writableDataRecord(address, byteCount) && data != nullptr) {
        checksum = encoding::Encoder::line(line.data(), address, data, byteCount);
        return {0, dataLineLength(byteCount)};
    }
    if (!isData && type != Terminator) {
        std::fprintf(stderr, "ERROR:  Unknown record type %d.\n", static_cast<int>(type));
        return {1, 0};
    }
    char* const begin = line.data();
    char* p = begin;
    const auto length = [&] { return static_cast<std::size_t>(p - begin); };
    *p++ = 'S';
    *p++ = isData ? dataKind : endKind;

    if (isData && !validByteCount(byteCount)) {
        std::fprintf(stderr, "ERROR:  Can't have %d bytes per record.\n",
                     static_cast<int>(byteCount));
        return {1, length()};
    }
    if (isData) {
        p = putByte(p, countField(byteCount)); // a valid count: always two digits
        if (!fitsBelowTop(address, byteCount)) {
            std::fprintf(stderr, "ERROR:  Address exceeded six byte maximum.\n");
            return {1, length()};
        }
        p = putAddress(p, address);
        // A data record that passed the checks above came here for want of a buffer: there
        // is nothing to print, and the checksum step refuses it.
    } else {
        p = putHex(p, countField(byteCount), 2);
        p = putHex(p, 0, 2 * addressBytes);
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
