// SPDX-License-Identifier: MIT
// The two argument conversions against independent models: the decimal one against a
// 64-bit accumulator cut to 32 bits and against strtol(), the hexadecimal one against
// sscanf("%x") wherever the two are meant to agree.

#include "arguments.h"
#include "fuzz_input.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace mksrec;

namespace {

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::int32_t decimalModel(const char* p, std::size_t& digits) {
    while (isSpace(*p)) {
        ++p;
    }
    const bool negative = *p == '-';
    p += *p == '-' || *p == '+';
    std::uint64_t value = 0;
    for (digits = 0; *p >= '0' && *p <= '9'; ++p, ++digits) {
        value = value * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(negative ? 0 - value : value));
}

// Where sscanf() has a say: how many digits follow the sign and the prefix, and whether
// a prefix stands there with no digit after it.
void hexShape(const char* p, std::size_t& digits, bool& bareZeroX) {
    while (isSpace(*p)) {
        ++p;
    }
    p += *p == '-' || *p == '+';
    bareZeroX = false;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        bareZeroX = !isHexDigit(p[2]);
        p += 2;
    }
    for (digits = 0; isHexDigit(*p); ++p) {
        ++digits;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size > 64) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(bytes), size); // up to the first NUL
    const char* argument = text.c_str();

    std::size_t digits = 0;
    const std::int32_t decimal = parseDecimal(argument);
    require(decimal == decimalModel(argument, digits), "decimal against 64-bit model");
    if (digits <= 9) { // strtol() cannot overflow there
        require(decimal == static_cast<std::int32_t>(std::strtol(argument, nullptr, 10)),
                "decimal against strtol");
    }

    bool bareZeroX = false;
    hexShape(argument, digits, bareZeroX);
    const auto hex = parseHex(argument);
    require(hex.has_value() == (digits > 0), "hex converts exactly when a digit is read");
    if (digits <= 8) {
        unsigned scanned = 0;
        // sscanf() is the model here, warts and all.
        const bool read = std::sscanf(argument, "%x", &scanned) == 1; // NOLINT(cert-err34-c)
        if (bareZeroX) {
            // The C library reads "0x" with no digit as 0; this converter refuses it.
            require(!hex.has_value(), "bare 0x refused");
        } else {
            require(hex.has_value() == read, "hex against sscanf: converted");
            require(!read || *hex == scanned, "hex against sscanf: value");
        }
    }
    return 0;
}
