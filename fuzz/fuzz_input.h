// SPDX-License-Identifier: MIT
#ifndef MKSREC_FUZZ_INPUT_H
#define MKSREC_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A finding: libFuzzer, and the replay program, stop at the abort.
inline void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

// Hands out a fuzz input as numbers, front to back; past the end every number is 0.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* bytes, std::size_t count) : data(bytes), size(count) {}
    std::uint32_t take(int bytes) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            value = value << 8 | (position < size ? data[position++] : 0u);
        }
        return value;
    }
    const std::uint8_t* rest() const { return data + position; }
    std::size_t restSize() const { return size - position; }

  private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

#endif
