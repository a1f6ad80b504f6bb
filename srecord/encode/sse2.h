// SPDX-License-Identifier: MIT
#ifndef MKSREC_ENCODE_SSE2_H
#define MKSREC_ENCODE_SSE2_H

#include "vector.h"

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

namespace mksrec::encoding {

namespace sse2 {

// Sixteen nibbles (0 to 15) as hexDigits gives them: '0' + n, and from 10 on the distance
// from there to the letters too. SSE2 has no byte shuffle to look them up in a table.
inline __m128i digitsOf(__m128i nibbles) {
    const __m128i letter = _mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9));
    return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8(hexDigits[0])),
                        _mm_and_si128(letter, _mm_set1_epi8(hexDigits[10] - hexDigits[0] - 10)));
}
// The digits of the high and of the low nibbles of sixteen bytes.
inline __m128i highDigits(__m128i bytes) {
    return digitsOf(_mm_and_si128(_mm_srli_epi16(bytes, 4), _mm_set1_epi8(0x0F)));
}
inline __m128i lowDigits(__m128i bytes) {
    return digitsOf(_mm_and_si128(bytes, _mm_set1_epi8(0x0F)));
}

// The first `digits` (8, 16 or 32) digits of `bytes` at p.
inline void putDigits(char* p, __m128i bytes, std::size_t digits) {
    const __m128i lowNibble = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), lowNibble);
    const __m128i low = _mm_and_si128(bytes, lowNibble);
    const __m128i first = digitsOf(_mm_unpacklo_epi8(high, low));
    if (digits == 8) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), first);
        return;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), first);
    if (digits == 32) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16),
                         digitsOf(_mm_unpackhi_epi8(high, low)));
    }
}

inline std::uint32_t sumOf(__m128i bytes) {
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_sad_epu8(bytes, _mm_setzero_si128())));
}

} // namespace sse2

// x86-64 (every one has SSE2): sixteen bytes to their thirty-two digits at once.
struct Sse2 {
    static std::uint32_t line(char* p, std::uint32_t address, const std::uint8_t* data,
                              std::uint32_t count) {
        using namespace sse2;
        using vector::firstData;
        using vector::registerBytes;
        putKind(p, dataKind);
        if (count <= 4) {
            const __m128i bytes = _mm_set_epi64x(
                0, static_cast<long long>(vector::shortRecord(address, data, count)));
            putDigits(p + 2, bytes, 16);
            return vector::putTail(p, count, sumOf(bytes));
        }
        __m128i bytes;
        if (count == registerBytes) {
            bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
        } else {
            const vector::Padded padded = vector::loadPadded(data, count);
            bytes = _mm_set_epi64x(static_cast<long long>(padded.high),
                                   static_cast<long long>(padded.low));
        }
        const __m128i first =
            _mm_or_si128(_mm_slli_si128(bytes, vector::headerLength),
                         _mm_cvtsi32_si128(static_cast<int>(vector::headerBytes(address, count))));
        putDigits(p + 2, first, 32);
        // The padding is zero, so the sums of absolute differences from zero add up just the
        // record's bytes, one sum per eight bytes.
        __m128i sums = _mm_sad_epu8(first, _mm_setzero_si128());
        if (count > firstData) {
            const __m128i rest = _mm_srli_si128(bytes, firstData);
            putDigits(p + 2 + std::size_t{2} * registerBytes, rest, 8);
            sums = _mm_add_epi64(sums, _mm_sad_epu8(rest, _mm_setzero_si128()));
        }
        const auto sum =
            static_cast<std::uint32_t>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
        return vector::putTail(p, count, sum);
    }

    // Kernels for the two commonest runs, each worth more than 3% of a whole conversion
    // (the benchmark): sixteen-byte lines two at a time, one-byte lines sixteen at a time.
    static constexpr bool kernels = true;
    static constexpr std::uint32_t pairedCount = vector::registerBytes;
    static constexpr std::size_t onesAtOnce = vector::registerBytes;
    static_assert(addressBytes == 3 && countField(1) == 5,
                  "Sse2::ones() and pair() write six address digits: extend them");

    // Two lines of a register's worth of bytes, the usual record, one right behind the other
    // from p: their headers share one register, their data take one each, and their
    // checksums are summed together; a sixth fewer instructions than a line at a time.
    static void pair(char* p, std::uint32_t address, const std::uint8_t* data) {
        using namespace sse2;
        constexpr std::size_t length = dataLineLength(pairedCount);
        char* const q = p + length;
        const std::uint64_t headers =
            vector::headerBytes(address, pairedCount) |
            std::uint64_t{vector::headerBytes(address + pairedCount, pairedCount)} << 32;
        const __m128i header = _mm_set_epi64x(0, static_cast<long long>(headers));
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
        const __m128i second =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pairedCount));
        // Both headers' digits go to the first line, the second's to be overwritten by data.
        const __m128i lowNibble = _mm_set1_epi8(0x0F);
        const __m128i headerDigits = digitsOf(_mm_unpacklo_epi8(
            _mm_and_si128(_mm_srli_epi16(header, 4), lowNibble), _mm_and_si128(header, lowNibble)));
        putKind(p, dataKind);
        putKind(q, dataKind);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 2), headerDigits);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(q + 2),
                         _mm_unpackhi_epi64(headerDigits, headerDigits));
        putDigits(p + 10, first, 32);
        putDigits(q + 10, second, 32);
        // Each line's sum in one half: its data's two halves and its header, spread so that
        // each header has a half of its own.
        const __m128i zero = _mm_setzero_si128();
        const __m128i firstSums = _mm_sad_epu8(first, zero);
        const __m128i secondSums = _mm_sad_epu8(second, zero);
        const __m128i sums = _mm_add_epi64(_mm_add_epi64(_mm_unpacklo_epi64(firstSums, secondSums),
                                                         _mm_unpackhi_epi64(firstSums, secondSums)),
                                           _mm_sad_epu8(_mm_unpacklo_epi32(header, zero), zero));
        vector::putTail(p, pairedCount, static_cast<std::uint32_t>(_mm_cvtsi128_si32(sums)));
        vector::putTail(q, pairedCount, static_cast<std::uint32_t>(_mm_extract_epi16(sums, 4)));
    }

    // Sixteen lines of one byte each from an address that is a multiple of sixteen: the
    // lines share all but the last of the address's digits, and that runs from 0 to f; the
    // data and the checksums are encoded sixteen at once, then the characters that differ
    // spread over the lines. Under a third of the instructions of a line at a time.
    static void ones(char* p, std::uint32_t address, const std::uint8_t* data) {
        using namespace sse2;
        const __m128i ramp = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
        // Each line's sum: the count, the address bytes and the data byte.
        const auto sum = static_cast<char>(countField(1) + addressSum(address));
        const __m128i checksums = _mm_xor_si128(
            _mm_add_epi8(_mm_add_epi8(_mm_set1_epi8(sum), ramp), bytes), _mm_set1_epi8(-1));

        // Two characters a line in each 16-bit lane, eight lines a register: the address's
        // last two digits, the data's, the checksum's, the line end.
        const __m128i fifthDigit = _mm_set1_epi8(hexDigits[address >> 4 & 0xF]);
        const __m128i sixthDigits = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hexDigits));
        const __m128i addressPairs[2] = {_mm_unpacklo_epi8(fifthDigit, sixthDigits),
                                         _mm_unpackhi_epi8(fifthDigit, sixthDigits)};
        const __m128i lineEnds = _mm_set1_epi16(static_cast<short>(lineEnd[0] | lineEnd[1] << 8));
        const __m128i dataHigh = highDigits(bytes);
        const __m128i dataLow = lowDigits(bytes);
        const __m128i dataPairs[2] = {_mm_unpacklo_epi8(dataHigh, dataLow),
                                      _mm_unpackhi_epi8(dataHigh, dataLow)};
        const __m128i sumHigh = highDigits(checksums);
        const __m128i sumLow = lowDigits(checksums);
        const __m128i sumPairs[2] = {_mm_unpacklo_epi8(sumHigh, sumLow),
                                     _mm_unpackhi_epi8(sumHigh, sumLow)};
        // The mark, the kind, the count's digits and the address's first four digits, in both
        // halves.
        std::uint16_t digits = 0;
        std::memcpy(&digits, hexPairs.pair[countField(1)].data(), 2);
        std::uint64_t start = recordMark | dataKind << 8 | std::uint64_t{digits} << 16;
        std::memcpy(&digits, hexPairs.pair[address >> 16 & 0xFF].data(), 2);
        start |= std::uint64_t{digits} << 32;
        std::memcpy(&digits, hexPairs.pair[address >> 8 & 0xFF].data(), 2);
        start |= std::uint64_t{digits} << 48;
        const __m128i starts = _mm_set1_epi64x(static_cast<long long>(start));

        for (int half = 0; half < 2; ++half) {
            // The ends of eight lines: their first four characters, then their last four.
            const __m128i heads[2] = {_mm_unpacklo_epi16(addressPairs[half], dataPairs[half]),
                                      _mm_unpackhi_epi16(addressPairs[half], dataPairs[half])};
            const __m128i tails[2] = {_mm_unpacklo_epi16(sumPairs[half], lineEnds),
                                      _mm_unpackhi_epi16(sumPairs[half], lineEnds)};
            for (int quarter = 0; quarter < 2; ++quarter) {
                const __m128i ends[2] = {_mm_unpacklo_epi32(heads[quarter], tails[quarter]),
                                         _mm_unpackhi_epi32(heads[quarter], tails[quarter])};
                for (const __m128i& two : ends) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                                     _mm_unpacklo_epi64(starts, two));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16),
                                     _mm_unpackhi_epi64(starts, two));
                    p += 32;
                }
            }
        }
    }
};

} // namespace mksrec::encoding

#endif
