#include "srecord.h"

#include <array>
#include <cstring>

namespace {

// The two lowercase digits of every byte value, so that a data byte costs one table
// lookup rather than a formatted print; the line is then handed to the stream in one go.
struct HexPairs {
    std::array<std::array<char, 2>, 256> pair{};
    constexpr HexPairs() {
        constexpr char digits[] = "0123456789abcdef";
        for (unsigned v = 0; v < 256; ++v) {
            pair[v] = {digits[v >> 4], digits[v & 0xF]};
        }
    }
};
constexpr HexPairs hexPairs;

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

// The low byte of value as two digits.
char* putByte(char* p, std::uint32_t value) {
    std::memcpy(p, hexPairs.pair[value & 0xFF].data(), 2);
    return p + 2;
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
    char line[maxLineLength];
    std::size_t length = 0;
    const int result = format(line, length);
    std::fwrite(line, 1, length, out);
    return result;
}

int SRecord::format(char* line, std::size_t& length) {
    if (type != Data && type != Terminator) {
        length = 0;
        std::fprintf(stderr, "ERROR:  Unknown record type %d.\n", static_cast<int>(type));
        return 1;
    }
    const bool isData = type == Data;
    char* p = line;
    *p++ = 'S';
    *p++ = isData ? '2' : '8';

    if (isData && (byteCount == 0 || byteCount > maxDataBytes)) {
        length = static_cast<std::size_t>(p - line);
        std::fprintf(stderr, "ERROR:  Can't have %d bytes per record.\n",
                     static_cast<int>(byteCount));
        return 1;
    }
    if (isData) {
        p = putByte(p, byteCount + 4); // at most 20: always two digits
        // The record's last byte must be addressable too: a loader would otherwise wrap
        // the tail of the record onto address 0.
        if (std::uint64_t{address} + byteCount - 1 > maxAddress) {
            length = static_cast<std::size_t>(p - line);
            std::fprintf(stderr, "ERROR:  Address exceeded six byte maximum.\n");
            return 1;
        }
        p = putByte(p, address >> 16);
        p = putByte(p, address >> 8);
        p = putByte(p, address);
        // Without a buffer there is nothing to print; the checksum step refuses the record.
        if (data != nullptr) {
            // Copies: the line's characters could alias the fields, which would make the
            // compiler reload them after every store.
            const std::uint8_t* const bytes = data;
            const std::uint32_t count = byteCount;
            for (std::uint32_t i = 0; i < count; ++i) {
                p = putByte(p, bytes[i]);
            }
        }
    } else {
        p = putHex(p, byteCount + 4, 2);
        p = putHex(p, 0, 6);
    }

    if (computeChecksum() != 0) {
        length = static_cast<std::size_t>(p - line);
        std::fprintf(stderr, "ERROR:  Problem calculating checksum.\n");
        return 1;
    }
    p = putByte(p, checksum);
    *p++ = '\r';
    *p++ = '\n';
    length = static_cast<std::size_t>(p - line);
    return 0;
}
