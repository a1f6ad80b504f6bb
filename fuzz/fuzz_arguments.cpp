// SPDX-License-Identifier: MIT
// The two argument conversions against the C library's: the decimal one against strtoll(),
// the hexadecimal one against strtoull() wherever the two are meant to agree. Both models
// read numbers of up to 64 bits, so they tell a number that fits in 32 bits from one that
// does not.

#include "arguments.h"
#include "fuzz_input.h"

#include <cerrno>
#include <cstdint>
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

// Where strtoull() has a say: whether a digit follows the sign and the prefix, and the sign.
struct HexShape {
    bool digits = false;
    bool negative = false;
};

HexShape hexShape(const char* p) {
    HexShape shape;
    while (isSpace(*p)) {
        ++p;
    }
    shape.negative = *p == '-';
    p += *p == '-' || *p == '+';
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        p += 2;
    }
    shape.digits = isHexDigit(*p);
    return shape;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size > 64) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(bytes), size); // up to the first NUL
    const char* argument = text.c_str();

    const auto decimal = parseDecimal(argument);
    errno = 0;
    const long long wide = std::strtoll(argument, nullptr, 10);
    const bool decimalFits = errno != ERANGE && wide >= INT32_MIN && wide <= INT32_MAX;
    require((decimal.result == Conversion::Ok) == decimalFits, "decimal range against strtoll");
    require(!decimalFits || decimal.value == wide, "decimal value against strtoll");

    const HexShape shape = hexShape(argument);
    const auto hex = parseHex(argument);
    require((hex.result == Conversion::NoDigits) == !shape.digits,
            "hex converts exactly when a digit is read");
    if (!shape.digits) {
        // The C library reads "0x" with no digit as 0; this converter refuses it.
        return 0;
    }
    errno = 0;
    const unsigned long long read = std::strtoull(argument, nullptr, 16);
    // strtoull() negates in 64 bits: the magnitude is recovered the same way.
    const unsigned long long magnitude = shape.negative ? 0 - read : read;
    const bool hexFits = errno != ERANGE && magnitude <= UINT32_MAX;
    require((hex.result == Conversion::Ok) == hexFits, "hex range against strtoull");
    const auto value = static_cast<std::uint32_t>(magnitude);
    require(!hexFits || hex.value == (shape.negative ? 0u - value : value),
            "hex value against strtoull");
    return 0;
}
