// SPDX-License-Identifier: MIT
// The record writer alone: one 16-byte data line per iteration, formatted into memory as
// the program does it, and written to a buffered stream; each encoder alone at one and at
// sixteen bytes a line; the runs of lines the conversion formats, a block's worth at a time,
// at one and at sixteen bytes a line with each encoder; and the same through RecordRun.

#include "encode.h"
#include "run.h"
#include "srecord.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

using namespace mksrec;

namespace {

std::uint8_t data[16] = {0x00, 0x25, 0x4a, 0x6f, 0x94, 0xb9, 0xde, 0x03,
                         0x28, 0x4d, 0x72, 0x97, 0xbc, 0xe1, 0x06, 0x2b};

void setUp(SRecord& record) {
    record.setType(Data);
    record.setByteCount(sizeof data);
    record.setData(data);
}

void formatDataRecord(benchmark::State& state) {
    SRecord record;
    setUp(record);
    Line line;
    for (auto _ : state) {
        record.setAddress(0x8000);
        benchmark::DoNotOptimize(record.format(line));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(sizeof data));
}
BENCHMARK(formatDataRecord);

void writeDataRecord(benchmark::State& state) {
    std::FILE* sink = std::fopen("/dev/null", "w");
    SRecord record;
    setUp(record);
    for (auto _ : state) {
        record.setAddress(0x8000);
        benchmark::DoNotOptimize(record.write(sink));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(sizeof data));
    std::fclose(sink);
}
BENCHMARK(writeDataRecord);

template <typename E> void encodeLine(benchmark::State& state) {
    const auto count = static_cast<std::uint32_t>(state.range(0));
    Line line;
    std::uint32_t address = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(E::line(line.data(), address, data, count));
        benchmark::ClobberMemory();
        address = (address + count) & 0xFFFF;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(count));
}
BENCHMARK(encodeLine<encoding::Portable>)->Arg(1)->Arg(4)->Arg(8)->Arg(16);

// 64 KiB of input as lines of `count` bytes, as RecordRun hands a run to encodeLines().
template <typename E> void encodeLines(benchmark::State& state) {
    const auto count = static_cast<std::uint32_t>(state.range(0));
    const std::size_t bytes = std::size_t{64} * 1024;
    const std::size_t lines = bytes / count;
    std::vector<std::uint8_t> input(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        input[i] = static_cast<std::uint8_t>(i * 37);
    }
    std::vector<char> out(lines * dataLineLength(count) + maxLineLength);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            encoding::encodeLines<E>(out.data(), {0x10000, input.data(), count}, lines));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}
BENCHMARK(encodeLines<encoding::Portable>)->Arg(1)->Arg(4)->Arg(8)->Arg(16);

// The same 64 KiB as the program runs them: RecordRun::put() into one block that holds them.
void runRecords(benchmark::State& state) {
    const auto count = static_cast<std::uint32_t>(state.range(0));
    const std::size_t bytes = std::size_t{64} * 1024;
    std::vector<std::uint8_t> input(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        input[i] = static_cast<std::uint8_t>(i * 37);
    }
    std::vector<char> out(bytes / count * dataLineLength(count) + RecordRun::overrun);
    for (auto _ : state) {
        RecordRun run(0x10000);
        benchmark::DoNotOptimize(run.put(out.data(), out.data() + out.size() - RecordRun::overrun,
                                         input.data(), bytes, count));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}
BENCHMARK(runRecords)->Arg(1)->Arg(4)->Arg(8)->Arg(16);

#if defined(MKSREC_ENCODE_VECTOR)
BENCHMARK(encodeLine<encoding::Encoder>)->Arg(1)->Arg(4)->Arg(8)->Arg(16);
BENCHMARK(encodeLines<encoding::Encoder>)->Arg(1)->Arg(4)->Arg(8)->Arg(16);
#endif

} // namespace
