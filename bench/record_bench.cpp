// SPDX-License-Identifier: MIT
// The record writer alone: one 16-byte data line per iteration, formatted into memory as
// the program does it, and written to a buffered stream; and each encoder alone at one and
// at sixteen bytes a line.

#include "srecord.h"

#include <benchmark/benchmark.h>

#include <cstdio>

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
    SRecord::Line line;
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

template <std::uint32_t (*encoder)(char*, std::uint32_t, const std::uint8_t*, std::uint32_t)>
void encodeLine(benchmark::State& state) {
    const auto count = static_cast<std::uint32_t>(state.range(0));
    encoding::Line line;
    std::uint32_t address = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(encoder(line.data(), address, data, count));
        benchmark::ClobberMemory();
        address = (address + count) & 0xFFFF;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(count));
}
BENCHMARK(encodeLine<encoding::encodePortable>)->Arg(1)->Arg(16);
#if defined(MKSREC_ENCODE_SSE2) || defined(MKSREC_ENCODE_NEON)
BENCHMARK(encodeLine<encoding::encodeVector>)->Arg(1)->Arg(16);
#endif

} // namespace
