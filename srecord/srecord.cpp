// SPDX-License-Identifier: MIT
#include "srecord.h"
#include "encode.h"
#include "run.h"

#include <cstdio>

namespace mksrec {

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
    switch (formatted.refusal) {
    case Refusal::None:
        return 0;
    case Refusal::ByteCount:
        std::fprintf(stderr, "ERROR:  Can't have %d bytes per record.\n",
                     static_cast<int>(byteCount));
        break;
    case Refusal::AboveTop:
        std::fputs("ERROR:  Address exceeded six byte maximum.\n", stderr);
        break;
    case Refusal::NoData:
        std::fputs("ERROR:  Problem calculating checksum.\n", stderr);
        break;
    case Refusal::UnknownType:
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
        return {Refusal::None, static_cast<std::size_t>(putEndLine(begin, byteCount) - begin)};
    }
    if (type != Data) {
        return {Refusal::UnknownType, 0};
    }
    const Refusal refusal = dataRefusal(address, byteCount);
    if (refusal != Refusal::None) {
        return {refusal, static_cast<std::size_t>(
                             encoding::putRefusedStart(begin, byteCount, refusal) - begin)};
    }
    if (data == nullptr) {
        // Nothing to print past the address; the checksum step refuses it.
        char* p = encoding::putRefusedStart(begin, byteCount, Refusal::NoData);
        p = encoding::putAddress(p, address);
        return {Refusal::NoData, static_cast<std::size_t>(p - begin)};
    }
    checksum = encoding::Encoder::line(begin, address, data, byteCount);
    return {Refusal::None, dataLineLength(byteCount)};
}

} // namespace mksrec
