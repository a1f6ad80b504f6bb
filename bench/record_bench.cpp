// The record writer alone: one 16-byte data line per iteration, formatted into memory as
// the program does it, and written to a buffered stream.

#include "srecord.h"

#include <benchmark/benchmark.h>

#include <cstdio>

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

} // namespace
