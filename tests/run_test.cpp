// SPDX-License-Identifier: MIT
// A run of records against the format written out field by field with printf: the same
// characters, stopping at the same record with the same reason, whatever the room the caller
// gives and however the input is cut into pieces. All in memory.

#include "run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace mksrec;

namespace {

struct Outcome {
    std::string text;
    Refusal refusal;
    std::uint32_t refusedCount;
};

// The records of `chunk` bytes from `address`, up to the first one refused, then the end
// record: S2, the count, the address, the data and the checksum, each with its printf format.
Outcome model(const std::vector<std::uint8_t>& data, std::uint32_t chunk, std::uint64_t address) {
    Outcome outcome{"", Refusal::None, 0};
    const auto put = [&outcome](const char* format, unsigned value) {
        char field[16];
        std::snprintf(field, sizeof field, format, value);
        outcome.text += field;
    };
    for (std::size_t at = 0; at < data.size(); at += chunk, address += chunk) {
        const auto count = static_cast<unsigned>(std::min<std::size_t>(chunk, data.size() - at));
        outcome.text += "S2";
        if (count > 16 || address + count > 0x1000000) {
            if (count <= 16) {
                put("%02x", count + 4);
            }
            outcome.refusal = count > 16 ? Refusal::ByteCount : Refusal::AboveTop;
            outcome.refusedCount = count;
            return outcome;
        }
        const auto where = static_cast<unsigned>(address);
        put("%02x", count + 4);
        put("%06x", where);
        unsigned sum = count + 4 + (where & 0xFF) + (where >> 8 & 0xFF) + (where >> 16);
        for (unsigned i = 0; i < count; ++i) {
            put("%02x", data[at + i]);
            sum += data[at + i];
        }
        put("%02x\r\n", ~sum & 0xFF);
    }
    put("S8%02x", 4);
    put("%06x", 0);
    put("%02x\r\n", ~4u & 0xFF);
    return outcome;
}

// The run as the program drives it: input handed over in pieces of `piece` chunks, lines
// written into a block of `room` characters plus the promised overrun, exactly as large, so
// that a store past it shows under the sanitizers; the block is emptied after each put(),
// whose lines must all begin before the limit.
Outcome inBlocks(const std::vector<std::uint8_t>& data, std::uint32_t chunk, std::uint32_t address,
                 std::size_t room, std::size_t piece) {
    Outcome outcome{"", Refusal::None, 0};
    std::vector<char> block(room + RecordRun::overrun);
    const char* const begin = block.data();
    const char* const limit = begin + room;
    const auto commit = [&](const char* end) {
        const std::string text(begin, end);
        outcome.text += text;
        // The last line's start: behind the line end before it, if any.
        const std::size_t last = text.size() < 2 ? 0 : text.rfind('\n', text.size() - 2) + 1;
        EXPECT_LT(begin + last, limit);
    };
    RecordRun run(address);
    for (std::size_t start = 0; start < data.size() && run.refusal() == Refusal::None;) {
        const std::size_t size = std::min(piece * chunk, data.size() - start);
        for (std::size_t at = 0; at < size && run.refusal() == Refusal::None;) {
            const RecordRun::Put put =
                run.put(block.data(), limit, data.data() + start + at, size - at, chunk);
            EXPECT_TRUE(put.taken > 0 || run.refusal() != Refusal::None) << "no progress";
            at += put.taken;
            commit(put.end);
        }
        start += size;
    }
    if (run.refusal() == Refusal::None) {
        commit(RecordRun::putEnd(block.data()));
    }
    outcome.refusal = run.refusal();
    outcome.refusedCount = run.refusedCount();
    return outcome;
}

// Every chunk size up to two past the largest record, each run ending in a short chunk or
// not; from addresses where every line fits, where the run stops at the line whose end
// passes 0xffffff, and above it; in blocks from one character (a line each) to many lines,
// and for one-byte lines with the limit at every character of a line after twenty of them;
// the input in pieces of one chunk to all of it.
TEST(RecordRun, SameLinesAsPrintf) {
    std::mt19937 random(1);
    for (std::uint32_t chunk = 1; chunk <= maxDataBytes + 2; ++chunk) {
        std::vector<std::size_t> rooms{1, 47, 333, 4096};
        for (std::size_t offset = 0; chunk == 1 && offset < dataLineLength(1); ++offset) {
            rooms.push_back(20 * dataLineLength(1) + offset);
        }
        for (const std::uint32_t rest : {0u, chunk / 2 + 1}) {
            std::vector<std::uint8_t> data(40 * chunk + (rest < chunk ? rest : 0));
            for (std::uint8_t& byte : data) {
                byte = static_cast<std::uint8_t>(random());
            }
            const auto span = static_cast<std::uint32_t>(data.size());
            const std::uint32_t addresses[] = {
                0,        0x123457,  0x1000000 - span, 0x1000000 - span / 2, 0x1000000 - span + 1,
                0xFFFFFF, 0x1000000, 0xFFFFFFFF};
            for (const std::uint32_t address : addresses) {
                const Outcome expected = model(data, chunk, address);
                for (const std::size_t room : rooms) {
                    for (const std::size_t piece : {1u, 7u, 1000u}) {
                        SCOPED_TRACE("chunks of " + std::to_string(chunk) + ", " +
                                     std::to_string(span) + " bytes at " + std::to_string(address) +
                                     ", blocks of " + std::to_string(room) + ", pieces of " +
                                     std::to_string(piece));
                        const Outcome got = inBlocks(data, chunk, address, room, piece);
                        ASSERT_EQ(got.text, expected.text);
                        ASSERT_EQ(got.refusal, expected.refusal);
                        ASSERT_EQ(got.refusedCount, expected.refusedCount);
                    }
                }
            }
        }
    }
}

} // namespace
