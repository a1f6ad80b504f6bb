// SPDX-License-Identifier: MIT
#include "arguments.h"

#include <gtest/gtest.h>

#include <climits>

using namespace mksrec;

namespace {

TEST(ParseDecimal, Table) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"16", 16},
        {"8xyz", 8}, // trailing characters are ignored
        {"0x10", 0}, // the x ends the digits
        {"abc", 0},  // no digits
        {"", 0},
        {" \t\n\v\f\r42", 42}, // all six white-space characters
        {"+7", 7},
        {"-5", -5},
        {"--5", 0}, // one sign only
        {"- 5", 0}, // no space after the sign
        {"12 34", 12},
        {"007", 7},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MIN}, // low 32 bits, no saturation
        {"-2147483648", INT_MIN},
        {"4294967296", 0},
        {"4294967297", 1},
        {"99999999999", 1215752191}, // 99999999999 mod 2^32
        {"-4294967295", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseDecimal(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(ParseHex, Table) {
    const struct {
        const char* text;
        std::uint32_t value;
    } cases[] = {
        {"8000", 0x8000},
        {"0x1a", 0x1a},
        {"1a", 0x1a},
        {"1azz", 0x1a}, // trailing junk after digits
        {"0X1A", 0x1a},
        {"FfFf", 0xffff},
        {"0", 0}, // a lone 0 is a digit, not half a prefix
        {"00", 0},
        {"0x0", 0},
        {"0x0x1", 0}, // one prefix; the second x ends the digits
        {" \t\n\v\f\r10", 0x10},
        {"+10", 0x10},
        {"-1", 0xffffffff}, // minus negates modulo 2^32
        {"-0x10", 0xfffffff0},
        {"123456789", 0x23456789}, // low 32 bits
        {"fffffffff", 0xffffffff},
        {"1000000", 0x1000000},
    };
    for (const auto& c : cases) {
        const auto value = parseHex(c.text);
        ASSERT_TRUE(value.has_value()) << '"' << c.text << '"';
        EXPECT_EQ(*value, c.value) << '"' << c.text << '"';
    }
}

TEST(ParseHex, NoDigitConvertsNothing) {
    for (const char* text :
         {"zz", "x1a", "", " ", "-", "+", "0x", "0X", "0xg", "- 1", "+-1", "-0x", "0xx1", "g1"}) {
        EXPECT_FALSE(parseHex(text).has_value()) << '"' << text << '"';
    }
}

} // namespace
