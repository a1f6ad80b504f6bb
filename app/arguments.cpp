// SPDX-License-Identifier: MIT
#include "arguments.h"

namespace mksrec {

namespace {

// The six characters isspace() accepts in the C locale; the locale must not change what a
// command line means.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Skips the white space and the sign; tells whether the sign was a minus.
bool skipSpaceAndSign(const char*& p) {
    while (isSpace(*p)) {
        ++p;
    }
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
    }
    return negative;
}

} // namespace

// Digits accumulate in 64 bits and stop counting past `limit`, so that a number of any
// length is told from one that fits without overflowing the accumulator.
Converted<std::int32_t> parseDecimal(const char* text) {
    const char* p = text;
    const bool negative = skipSpaceAndSign(p);
    // The most negative value has no positive twin.
    const std::uint64_t limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
    std::uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<std::uint64_t>(*p - '0');
        if (value > limit) {
            return {Conversion::OutOfRange, 0};
        }
    }
    const auto magnitude = static_cast<std::uint32_t>(value);
    return {Conversion::Ok, static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude)};
}

Converted<std::uint32_t> parseHex(const char* text) {
    const char* p = text;
    const bool negative = skipSpaceAndSign(p);
    // A 0 not followed by x is a digit; "0x" is the prefix and needs a digit after it.
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        p += 2;
    }
    if (hexValue(*p) < 0) {
        return {Conversion::NoDigits, 0};
    }
    std::uint64_t value = 0;
    for (int digit = hexValue(*p); digit >= 0; digit = hexValue(*++p)) {
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > UINT32_MAX) {
            return {Conversion::OutOfRange, 0};
        }
    }
    const auto magnitude = static_cast<std::uint32_t>(value);
    return {Conversion::Ok, negative ? 0u - magnitude : magnitude};
}

} // namespace mksrec
