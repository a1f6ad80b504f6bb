// SPDX-License-Identifier: MIT
#include "srecord.h"
#include "encode.h"

#include <cstdio>

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

// The line of an end record of `count` data bytes: a count the end record the converter
// writes never has (RecordRun::putEnd() writes that one), but a caller may set one. Its
// count digits are as printf("%02x") gives them, past two when the count needs them; the
// address is all zero, the checksum that of the count alone.
char* putEndLine(char* p, std::uint32_t count) {
    p = encoding::putKind(p, endKind);
    p = putHex(p, countField(count), 2);
    p = putHex(p, 0, 2 * addressBytes);
    p = encoding::putByte(p, ~countField(count));
    return encoding::putLineEnd(p);
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
    Line line{}; // mingw-w64 g++ 12 cannot see that format() fills what is written
    const Formatted formatted = format(line);
    std::fwrite(line.data(), 1, formatted.length, out);
    switch (formatted.problem) {
    case Problem::None:
        return 0;
    case Problem::ByteCount:
        std::fprintf(stderr, byteCountMessage, static_cast<int>(byteCount));
        break;
    case Problem::AboveTop:
        std::fputs(aboveTopMessage, stderr);
        break;
    case Problem::NoData:
        std::fputs("ERROR:  Problem calculating checksum.\n", stderr);
        break;
    case Problem::UnknownType:
        std::fprintf(stderr, "ERROR:  Unknown record type %d.\n", static_cast<int>(type));
        break;
    }
    return 1;
}

// A data record goes by the rules a run of them goes by; a refused one leaves the beginning
// of its line, up to the field that failed.
SRecord::Formatted SRecord::format(Line& line) {
    char* const begin = line.data();
    if (type == Terminator) {
        checksum = ~countField(byteCount) & 0xFF;
        return {Problem::None, static_cast<std::size_t>(putEndLine(begin, byteCount) - begin)};
    }
    if (type != Data) {
        return {Problem::UnknownType, 0};
    }
    const Refusal refusal = dataRefusal(address, byteCount);
    if (refusal != Refusal::None) {
        const Problem problem =
            refusal == Refusal::ByteCount ? Problem::ByteCount : Problem::AboveTop;
        return {problem, static_cast<std::size_t>(
                             encoding::putRefusedStart(begin, byteCount, refusal) - begin)};
    }
    if (data == nullptr) {
        // Nothing to print past the address; the checksum step refuses it.
        char* p = encoding::putRefusedStart(begin, byteCount, Refusal::None);
        p = encoding::putAddress(p, address);
        return {Problem::NoData, static_cast<std::size_t>(p - begin)};
    }
    checksum = encoding::Encoder::line(begin, address, data, byteCount);
    return {Problem::None, dataLineLength(byteCount)};
}

} // namespace mksrec
