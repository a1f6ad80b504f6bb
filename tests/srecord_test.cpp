// SPDX-License-Identifier: MIT
#include "srecord.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace mksrec;

namespace {

struct Written {
    int result;
    std::string line;   // what reached the stream
    std::string errors; // what reached standard error
};

Written writeToMemory(SRecord& record) {
    std::FILE* stream = std::tmpfile();
    if (stream == nullptr) {
        ADD_FAILURE() << "no temporary file";
        return {-2, "", ""};
    }
    testing::internal::CaptureStderr();
    const int result = record.write(stream);
    std::string errors = testing::internal::GetCapturedStderr();
    std::string line(static_cast<std::size_t>(std::ftell(stream)), '\0');
    std::rewind(stream);
    EXPECT_EQ(std::fread(line.data(), 1, line.size(), stream), line.size());
    std::fclose(stream);
    return {result, line, errors};
}

std::vector<std::uint8_t> range(unsigned first, unsigned count) {
    std::vector<std::uint8_t> bytes;
    for (unsigned i = 0; i < count; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(first + i));
    }
    return bytes;
}

struct Case {
    // Read by the test name generator, which cppcheck does not follow.
    // cppcheck-suppress unusedStructMember
    const char* name;
    RecordType type;
    std::uint32_t byteCount;
    std::uint32_t address;
    bool hasBuffer;
    std::vector<std::uint8_t> data;
    const char* line;
    int result;
    const char* errors;
};

const char* const badAddress = "ERROR:  Address exceeded six byte maximum.\n";

// The count field is the data byte count plus 4: three address bytes and the checksum.
const Case cases[] = {
    // 16 + 4 = 0x14; sum 0x14+0x80+0x78 (data) = 0x10c, ~0x0c = f3.
    {"first example", Data, 16, 0x8000, true, range(0, 16),
     "S214008000000102030405060708090a0b0c0d0e0ff3\r\n", 0, ""},
    // 4 + 4 = 08; high bytes 0x80 to 0xff print as two digits like any other.
    {"second example",
     Data,
     4,
     0x8010,
     true,
     {0x9a, 0xff, 0x80, 0x7f},
     "S2080080109aff807fcf\r\n",
     0,
     ""},
    // 0 + 4 = 04, ~0x04 = fb.
    {"terminator", Terminator, 0, 0, false, {}, "S804000000fb\r\n", 0, ""},
    {"terminator ignores its address",
     Terminator,
     0,
     0x123456,
     false,
     {},
     "S804000000fb\r\n",
     0,
     ""},
    // 4 + 4 = 08; all-zero bytes leave only the count in the sum: ~0x08 = f7.
    {"zeros at address 0", Data, 4, 0, true, {0, 0, 0, 0}, "S20800000000000000f7\r\n", 0, ""},
    // 2 + 4 = 06; the address's three bytes enter the sum one by one.
    {"address bytes summed", Data, 2, 0x123456, true, {0x80, 0xff}, "S20612345680ffde\r\n", 0, ""},
    // 1 + 4 = 05: the last addressable byte.
    {"one byte at top", Data, 1, 0xFFFFFF, true, {0}, "S205ffffff00fd\r\n", 0, ""},
    // 16 + 4 = 0x14: the record ends exactly on the last addressable byte.
    {"sixteen bytes ending at top", Data, 16, 0xFFFFF0, true, std::vector<std::uint8_t>(16),
     "S214fffff000000000000000000000000000000000fd\r\n", 0, ""},
    // A record whose last byte lies above 0xFFFFFF fails after its count.
    {"sixteen bytes crossing top", Data, 16, 0xFFFFF8, true, range(0, 16), "S214", 1, badAddress},
    {"sixteen bytes at top", Data, 16, 0xFFFFFF, true, range(0, 16), "S214", 1, badAddress},
    {"address above 24 bits", Data, 16, 0x1000000, true, range(0, 16), "S214", 1, badAddress},
    {"two bytes crossing top", Data, 2, 0xFFFFFF, true, {1, 2}, "S206", 1, badAddress},
    {"address wraps 32 bits", Data, 16, 0xFFFFFFF8, true, range(0, 16), "S214", 1, badAddress},
    {"count 17", Data, 17, 0, true, range(0, 17), "S2", 1,
     "ERROR:  Can't have 17 bytes per record.\n"},
    {"count 0", Data, 0, 0, true, {1}, "S2", 1, "ERROR:  Can't have 0 bytes per record.\n"},
    {"count printed signed",
     Data,
     0xFFFFFFFF,
     0,
     true,
     {1},
     "S2",
     1,
     "ERROR:  Can't have -1 bytes per record.\n"},
    // Nothing is read through a missing buffer: the line stops after the address.
    {"data without buffer",
     Data,
     4,
     0x10,
     false,
     {},
     "S208000010",
     1,
     "ERROR:  Problem calculating checksum.\n"},
    // 12 + 4 = 0x10: a terminator never prints or sums data, buffer or not; ~0x10 = ef.
    {"terminator with count", Terminator, 12, 0x55, false, {}, "S810000000ef\r\n", 0, ""},
    // 0xa6 + 4 = 0xaa: the count's digits in lowercase too; ~0xaa = 55.
    {"terminator with count of letters", Terminator, 0xA6, 0, false, {}, "S8aa00000055\r\n", 0, ""},
    {"terminator count ignores data",
     Terminator,
     2,
     0,
     true,
     {0x11, 0x22},
     "S806000000f9\r\n",
     0,
     ""},
    // 0x100 + 4 = 0x104: "%02x" is a minimum width, not a cut.
    {"terminator three-digit count", Terminator, 0x100, 0, false, {}, "S8104000000fb\r\n", 0, ""},
    {"unknown type",
     static_cast<RecordType>(7),
     1,
     0,
     true,
     {1},
     "",
     1,
     "ERROR:  Unknown record type 7.\n"},
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class RecordLine : public testing::TestWithParam<Case> {};

TEST_P(RecordLine, WritesExactBytes) {
    const Case& c = GetParam();
    SRecord record;
    record.setType(c.type);
    record.setByteCount(c.byteCount);
    record.setAddress(c.address);
    record.setData(c.hasBuffer ? c.data.data() : nullptr);
    const Written written = writeToMemory(record);
    EXPECT_EQ(written.line, c.line);
    EXPECT_EQ(written.result, c.result);
    EXPECT_EQ(written.errors, c.errors);
}

INSTANTIATE_TEST_SUITE_P(Table, RecordLine, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<Case>& param) {
                             std::string name = param.param.name;
                             for (char& ch : name) {
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return name;
                         });

TEST(SRecord, StartsAsEmptyTerminator) {
    SRecord record;
    EXPECT_EQ(record.getType(), Terminator);
    EXPECT_EQ(record.getByteCount(), 0u);
    EXPECT_EQ(record.getAddress(), 0u);
    EXPECT_EQ(record.getData(), nullptr);
    EXPECT_EQ(writeToMemory(record).line, "S804000000fb\r\n");
    EXPECT_EQ(record.getChecksum(), 0xFBu);
}

TEST(SRecord, AdvanceAddressContinuesBehindTheRecordAndWraps) {
    SRecord record;
    record.setAddress(0x8000);
    record.setByteCount(16);
    record.advanceAddress();
    EXPECT_EQ(record.getAddress(), 0x8010u);
    record.setAddress(0xFFFFFFF8);
    record.advanceAddress();
    EXPECT_EQ(record.getAddress(), 0x8u);
}

// Only the address's three low bytes enter a data record's sum, each on its own, and every
// data byte; a terminator's sum has no address and no data at all.
// 3 + 4 + 0xd4 + 0xc3 + 0xb2 + 0x10 + 0x20 + 0x30 = 0x2b0: ~ = 4f; 12 + 4 = 0x10: ~ = ef.
TEST(SRecord, ChecksumSumsTheLowThreeAddressBytesAndEveryDataByte) {
    const std::uint8_t bytes[] = {0x10, 0x20, 0x30};
    SRecord record;
    record.setType(Data);
    record.setByteCount(3);
    record.setAddress(0xA1B2C3D4);
    record.setData(bytes);
    ASSERT_EQ(record.computeChecksum(), 0);
    EXPECT_EQ(record.getChecksum(), 0x4Fu);
    record.setType(Terminator);
    record.setByteCount(12);
    ASSERT_EQ(record.computeChecksum(), 0);
    EXPECT_EQ(record.getChecksum(), 0xEFu);
}

TEST(SRecord, ChecksumRefusesDataWithoutBufferAndKeepsTheOldValue) {
    const std::uint8_t byte = 0x42;
    SRecord record;
    record.setType(Data);
    record.setByteCount(1);
    record.setData(&byte);
    ASSERT_EQ(record.computeChecksum(), 0);
    const std::uint32_t stored = record.getChecksum();
    record.setData(nullptr);
    EXPECT_EQ(record.computeChecksum(), 2);
    EXPECT_EQ(record.getChecksum(), stored);
}

// Every byte of a valid line after the kind, checksum included, sums to 0xff modulo 256;
// and writing a record again gives the same line, the checksum being recomputed.
TEST(SRecord, RandomLinesSumToAllOnesAndRepeat) {
    std::minstd_rand random(12345);
    std::vector<std::uint8_t> data(16);
    for (int round = 0; round < 2000; ++round) {
        for (std::uint8_t& byte : data) {
            byte = static_cast<std::uint8_t>(random());
        }
        const auto count = static_cast<std::uint32_t>(1 + random() % 16);
        SRecord record;
        record.setType(Data);
        record.setByteCount(count);
        record.setAddress(static_cast<std::uint32_t>(random() % (0x1000000 - count + 1)));
        record.setData(data.data());
        const std::string line = writeToMemory(record).line;
        ASSERT_EQ(line.size(), dataLineLength(count));
        unsigned sum = 0;
        for (std::size_t i = 2; i + 2 < line.size(); i += 2) {
            sum += static_cast<unsigned>(std::stoul(line.substr(i, 2), nullptr, 16));
        }
        ASSERT_EQ(sum & 0xFF, 0xFFu) << line;
        ASSERT_EQ(writeToMemory(record).line, line);
    }
}

} // namespace
