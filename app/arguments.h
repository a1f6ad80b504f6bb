// SPDX-License-Identifier: MIT
#ifndef MKSREC_ARGUMENTS_H
#define MKSREC_ARGUMENTS_H

#include <cstdint>
#include <optional>

namespace mksrec {

// The command line's two numbers. Both keep the low 32 bits of a longer number instead of
// saturating, and both ignore whatever follows the digits.

// Bytes per record: optional leading white space, an optional sign, decimal digits.
// No digits give 0.
std::int32_t parseDecimal(const char* text);

// Start address: optional leading white space, an optional sign (minus negates modulo
// 2^32), an optional 0x or 0X, hexadecimal digits of either case. Empty when no digit
// follows the sign and the prefix.
std::optional<std::uint32_t> parseHex(const char* text);

} // namespace mksrec

#endif
