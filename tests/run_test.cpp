// SPDX-License-Identifier: MIT
// A run of records against the same records written one at a time by an SRecord: the same
// characters, stopping at the same record with the same reason, whatever the room the caller
// gives and however the input is cut into pieces. All in memory.

#include "run.h"
#include "srecord.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// One SRecord per chunk, up to the first it refuses, then the end record.
Outcome recordByRecord(const std::vector<std::uint8_t>& data, std::uint32_t chunk,
                       std::uint32_t address) {
    Outcome outcome{"", Refusal::None, 0};
    SRecord record;
    record.setType(Data);
    record.setAddress(address);
    Line line;
    for (std::size_t at = 0; at < data.size(); at += chunk) {
        const auto count =
            static_cast<std::uint32_t>(std::min<std::size_t>(chunk, data.size() - at));
        record.setByteCount(count);
        record.setData(data.data() + at);
        const SRecord::Formatted formatted = record.format(line);
        outcome.text.append(line.data(), formatted.length);
        if (formatted.refusal != Refusal::None) {
            outcome.refusal = formatted.refusal;
            outcome.refusedCount = count;
            return outcome;
        }
        record.advanceAddress();
    }
    SRecord end;
    outcome.text.append(line.data(), end.format(line).length);
    return outcome;
}

// The run as the program drives it: input handed over in pieces of `piece` chunks, lines
// written into a block of `room` characters plus the promised overrun, exactly as large, so
// that a store past it shows under the sanitizers; the block is emptied after each put().
Outcome inBlocks(const std::vector<std::uint8_t>& data, std::uint32_t chunk, std::uint32_t address,
                 std::size_t room, std::size_t piece) {
    Outcome outcome{"", Refusal::None, 0};
    std::vector<char> block(room + RecordRun::overrun);
    std::size_t used = 0;
    const auto commit = [&](const char* end) {
        used = static_cast<std::size_t>(end - block.data());
        outcome.text.append(block.data(), used);
        used = 0;
    };
    RecordRun run(address, chunk);
    for (std::size_t start = 0; start < data.size() && run.refusal() == Refusal::None;) {
        const std::size_t size = std::min(piece * chunk, data.size() - start);
        for (std::size_t at = 0; at < size && run.refusal() == Refusal::None;) {
            const RecordRun::Put put = run.put(block.data() + used, block.data() + room,
                                               data.data() + start + at, size - at);
            EXPECT_TRUE(put.taken > 0 || run.refusal() != Refusal::None) << "no progress";
            at += put.taken;
            commit(put.end);
        }
        start += size;
    }
    if (run.refusal() == Refusal::None) {
        commit(RecordRun::putEnd(block.data() + used));
    }
    outcome.refusal = run.refusal();
    outcome.refusedCount = run.refusedCount();
    return outcome;
}

// Every chunk size up to two past the largest record, each run ending in a short chunk or
// not; from addresses where every line fits, where the run stops at the line whose end
// passes 0xffffff, and above it; in blocks from one character (a line each) to many lines,
// the input in pieces of one chunk to all of it.
TEST(RecordRun, SameLinesAsRecordByRecord) {
    std::mt19937 random(1);
    for (std::uint32_t chunk = 1; chunk <= maxDataBytes + 2; ++chunk) {
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
                const Outcome expected = recordByRecord(data, chunk, address);
                for (const std::size_t room : {1u, 47u, 333u, 4096u}) {
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
