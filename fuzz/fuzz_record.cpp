// SPDX-License-Identifier: MIT
// The record writer against a deliberately plain model of the line format: same bytes in
// the stream, same result, for any type, count, address, data and buffer or none; and a run
// of that one record against the record.

#include "encode.h"
#include "fuzz_input.h"
#include "run.h"
#include "srecord.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace mksrec;

namespace {

std::string hex(const char* format, unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The line as its format strings read, one printf per field, and the writer's result.
std::string model(std::int32_t type, std::uint32_t count, std::uint32_t address,
                  const std::uint8_t* data, int& result) {
    result = 1;
    if (type != Data && type != Terminator) {
        return "";
    }
    std::string line = type == Data ? "S2" : "S8";
    if (type == Data && (count < 1 || count > 16)) {
        return line;
    }
    line += hex("%02x", count + 4);
    unsigned sum = count + 4;
    if (type == Terminator) {
        line += "000000";
    } else {
        if (address + std::uint64_t{count} - 1 > 0xFFFFFF) {
            return line;
        }
        line += hex("%06x", address);
        if (data == nullptr) {
            return line;
        }
        sum += (address >> 16) + (address >> 8 & 0xFF) + (address & 0xFF);
        for (std::uint32_t i = 0; i < count; ++i) {
            line += hex("%02x", data[i]);
            sum += data[i];
        }
    }
    result = 0;
    return line + hex("%02x\r\n", ~sum & 0xFF);
}

// What write() puts in a stream, and its result. A stream in memory keeps the fuzzer off
// the disk where the C library offers one; elsewhere a temporary file does.
std::string written(SRecord& record, int& result) {
#if defined(__GLIBC__)
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&text, &size);
    require(stream != nullptr, "open_memstream");
    result = record.write(stream);
    std::fclose(stream);
    std::string line(text, size);
    std::free(text);
#else
    std::FILE* stream = std::tmpfile();
    require(stream != nullptr, "tmpfile");
    result = record.write(stream);
    std::string line(static_cast<std::size_t>(std::ftell(stream)), '\0');
    std::rewind(stream);
    require(std::fread(line.data(), 1, line.size(), stream) == line.size(), "read back");
    std::fclose(stream);
#endif
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzInput input(bytes, size);
    const std::uint32_t choice = input.take(1);
    // Mostly the two real types, sometimes any 32-bit value.
    const auto type = static_cast<std::int32_t>((choice & 3) == 3 ? input.take(4) : choice & 1);
    // Mostly counts near the valid range, sometimes any.
    const std::uint32_t count = (choice & 4) != 0 ? input.take(4) : input.take(1) % 20;
    // Mostly addresses near the top of the 24-bit space, sometimes any.
    const std::uint32_t address =
        (choice & 8) != 0 ? input.take(4) : 0x1000000 - input.take(1) % 40;
    const bool hasBuffer = (choice & 16) == 0;

    // Exactly as many bytes as a valid record may read, so that the sanitizers catch any
    // read past them.
    const std::size_t bufferSize = count < 16 ? count : 16;
    std::vector<std::uint8_t> buffer(bufferSize);
    for (std::size_t i = 0; i < bufferSize && i < input.restSize(); ++i) {
        buffer[i] = input.rest()[i];
    }
    const std::uint8_t* data = hasBuffer ? buffer.data() : nullptr;

    SRecord record;
    record.setType(static_cast<RecordType>(type));
    record.setByteCount(count);
    record.setAddress(address);
    record.setData(data);

    int result = 0;
    const std::string line = written(record, result);

    int expectedResult = 0;
    const std::string expected = model(type, count, address, data, expectedResult);
    require(result == expectedResult, "write result");
    require(line == expected, "written line");

    Line formatted;
    const SRecord::Formatted got = record.format(formatted);
    require((got.problem == SRecord::Problem::None ? 0 : 1) == result, "format result");
    require(std::string(formatted.data(), got.length) == line, "formatted line");
    // A run of this one record: the same line, or the same beginning and a reason. (A run
    // of no bytes has no record to refuse.)
    if (type == Data && hasBuffer && count != 0) {
        RecordRun run(address);
        Line ran;
        const RecordRun::Put put = run.put(ran.data(), ran.data() + 1, data, count, count);
        require((run.refusal() == Refusal::None ? 0 : 1) == result, "run refusal");
        require(std::string(ran.data(), put.end) == line, "run line");
        require(put.taken == (result == 0 ? count : 0), "run taken");
    }
    // The portable encoder as well, on the records it is given: valid data records.
    if (result == 0 && type == Data) {
        Line portable;
        require(encoding::Portable::line(portable.data(), address, data, count) ==
                    record.getChecksum(),
                "portable checksum");
        require(std::string(portable.data(), got.length) == line, "portable line");
    }
    return 0;
}
