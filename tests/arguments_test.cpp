// SPDX-License-Identifier: MIT
#include "arguments.h"

#include <gtest/gtest.h>

#include <climits>

using namespace mksrec;

namespace {

constexpr Conversion ok = Conversion::Ok;
constexpr Conversion none = Conversion::NoDigits;
constexpr Conversion range = Conversion::OutOfRange;

TEST(ParseDecimal, Table) {
    const struct {
        const char* text;
        Conversion result;
        std::int32_t value;
    } cases[] = {
        {"16", ok, 16},
        {"8xyz", ok, 8}, // trailing characters are ignored
        {"0x10", ok, 0}, // the x ends the digits
        {"abc", ok, 0},  // no digits give 0
        {"", ok, 0},
        {" \t\n\v\f\r42", ok, 42}, // all six white-space characters
        {"+7", ok, 7},
        {"-5", ok, -5},
        {"--5", ok, 0}, // one sign only
        {"- 5", ok, 0}, // no space after the sign
        {"12 34", ok, 12},
        {"007", ok, 7},
        {"1/", ok, 1}, // the characters either side of the digits end them
        {"1:", ok, 1},
        // The edges of a signed 32-bit number, and past them.
        {"2147483647", ok, INT_MAX},
        {"+2147483647xyz", ok, INT_MAX},
        {"-2147483648", ok, INT_MIN},
        {"000000000002147483647", ok, INT_MAX}, // leading zeros do not count
        {"2147483648", range, 0},
        {"-2147483649", range, 0},
        {"4294967296", range, 0},
        {"4294967312", range, 0}, // 16 in its low 32 bits
        {"-4294967280", range, 0},
        {"99999999999999999999", range, 0}, // 20 digits
        {"-99999999999999999999", range, 0},
    };
    for (const auto& c : cases) {
        const auto converted = parseDecimal(c.text);
        EXPECT_EQ(converted.result, c.result) << '"' << c.text << '"';
        if (c.result == ok) {
            EXPECT_EQ(converted.value, c.value) << '"' << c.text << '"';
        }
    }
}

TEST(ParseHex, Table) {
    const struct {
        const char* text;
        Conversion result;
        std::uint32_t value;
    } cases[] = {
        {"8000", ok, 0x8000},
        {"0x1a", ok, 0x1a},
        {"1a", ok, 0x1a},
        {"1azz", ok, 0x1a}, // trailing junk after digits
        {"0X1A", ok, 0x1a},
        {"FfFf", ok, 0xffff},
        {"0", ok, 0}, // a lone 0 is a digit, not half a prefix
        {"00", ok, 0},
        {"0x0", ok, 0},
        {"0x0x1", ok, 0}, // one prefix; the second x ends the digits
        {"1:", ok, 1},    // the characters either side of each range of digits end them
        {"1@", ok, 1},
        {"1G", ok, 1},
        {"1`", ok, 1},
        {"1g", ok, 1},
        {" \t\n\v\f\r10", ok, 0x10},
        {"+10", ok, 0x10},
        {"-1", ok, 0xffffffff}, // minus negates modulo 2^32
        {"-0x10", ok, 0xfffffff0},
        {"1000000", ok, 0x1000000},
        // The edges of 32 bits, and past them.
        {"ffffffff", ok, 0xffffffff},
        {"0xFFFFFFFF", ok, 0xffffffff},
        {"-ffffffff", ok, 1},
        {"0000000000ffffffff", ok, 0xffffffff}, // leading zeros do not count
        {"100000000", range, 0},
        {"0x100000000", range, 0},
        {"-100000000", range, 0},
        {"+0x100008000", range, 0},
        {"fffffffff", range, 0},
        {"99999999999999999999", range, 0}, // 20 digits
        // No digit after the sign and the prefix.
        {"zz", none, 0},
        {"x1a", none, 0},
        {"", none, 0},
        {"-", none, 0},
        {"0x", none, 0},
        {"0xg", none, 0},
        {"- 1", none, 0},
        {"+-1", none, 0},
        {"0xx1", none, 0},
    };
    for (const auto& c : cases) {
        const auto converted = parseHex(c.text);
        EXPECT_EQ(converted.result, c.result) << '"' << c.text << '"';
        if (c.result == ok) {
            EXPECT_EQ(converted.value, c.value) << '"' << c.text << '"';
        }
    }
}

} // namespace
