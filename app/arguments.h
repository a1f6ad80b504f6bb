// SPDX-License-Identifier: MIT
#ifndef MKSREC_ARGUMENTS_H
#define MKSREC_ARGUMENTS_H

#include <cstdint>

namespace mksrec {

// The command line's two numbers. Whatever follows the digits is ignored, as the C
// library's conversions ignore it; but a number too large for its type is refused, never
// cut to its low bits: a typing slip of one digit would otherwise convert at another
// address or with another count and report success.

enum class Conversion { Ok, NoDigits, OutOfRange };

template <typename T> struct Converted {
    Conversion result;
    T value; // meaningful when result is Ok
};

// Bytes per record: optional leading white space, an optional sign, decimal digits, in the
// range of a signed 32-bit number. No digits give 0 (never NoDigits).
Converted<std::int32_t> parseDecimal(const char* text);

// Start address: optional leading white space, an optional sign, an optional 0x or 0X,
// hexadecimal digits of either case whose value fits in 32 bits; a minus negates it modulo
// 2^32. NoDigits when no digit follows the sign and the prefix.
Converted<std::uint32_t> parseHex(const char* text);

} // namespace mksrec

#endif
