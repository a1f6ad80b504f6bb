// SPDX-License-Identifier: MIT
#ifndef MKSREC_ENCODE_H
#define MKSREC_ENCODE_H

// The text of a valid S2 line, the one thing the converter does per record: "S2", the
// count, six address digits, two digits per data byte, the checksum and CR LF. Two
// encoders give the same characters: a vector one that turns sixteen data bytes into their
// thirty-two digits at once with the instructions every x86-64 (SSE2) and AArch64 (NEON)
// processor has, and a portable one for every other target, or for every target when
// MKSREC_PORTABLE is defined. Both are inline so that the conversion loop calls nothing
// per record; the loop itself, encodeLines(), runs over all the records of an input block
// that have the same count, that count a constant of the compiled loop, and on x86-64
// takes the usual sixteen-byte lines two at a time and one-byte lines sixteen at a time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#if !defined(MKSREC_PORTABLE) && (defined(__SSE2__) || defined(_M_X64))
#include <emmintrin.h>
#define MKSREC_ENCODE_SSE2 1
#elif !defined(MKSREC_PORTABLE) && (defined(__ARM_NEON) || defined(_M_ARM64)) &&                   \
    (defined(__aarch64__) || defined(_M_ARM64)) && !defined(__ARM_BIG_ENDIAN)
#include <arm_neon.h>
#define MKSREC_ENCODE_NEON 1
#endif

namespace mksrec::encoding {

constexpr std::uint32_t maxDataBytes = 16;
// Kind, a terminator's count of up to eight digits, address, data, checksum, CR LF.
constexpr std::size_t maxLineLength = 2 + 8 + 6 + 2 * maxDataBytes + 2 + 2;
// A line is formatted into one of these; the vector encoder stores whole registers, which
// this capacity leaves room for at every count.
using Line = std::array<char, maxLineLength>;

// The characters of a data line with `count` bytes.
constexpr std::size_t dataLineLength(std::uint32_t count) {
    return 14 + 2 * std::size_t{count};
}

// The two lowercase digits of every byte value.
struct HexPairs {
    std::array<std::array<char, 2>, 256> pair{};
    constexpr HexPairs() {
        constexpr char digits[] = "0123456789abcdef";
        for (unsigned v = 0; v < 256; ++v) {
            pair[v] = {digits[v >> 4], digits[v & 0xF]};
        }
    }
};
inline constexpr HexPairs hexPairs{};

inline char* putByte(char* p, std::uint32_t value) {
    std::memcpy(p, hexPairs.pair[value & 0xFF].data(), 2);
    return p + 2;
}

// The checksum's two digits and the line end.
inline void putTail(char* p, std::uint32_t sum) {
    p = putByte(p, ~sum);
    p[0] = '\r';
    p[1] = '\n';
}

// Any target: one table lookup per byte, the checksum summed in the same loop. Requires
// count in 1..16, address at most 0xFFFFFF; returns the checksum.
inline std::uint32_t encodePortable(char* p, std::uint32_t address, const std::uint8_t* data,
                                    std::uint32_t count) {
    p[0] = 'S';
    p[1] = '2';
    p = putByte(p + 2, count + 4);
    p = putByte(p, address >> 16);
    p = putByte(p, address >> 8);
    p = putByte(p, address);
    std::uint32_t sum =
        count + 4 + (address >> 16 & 0xFF) + (address >> 8 & 0xFF) + (address & 0xFF);
    for (std::uint32_t i = 0; i < count; ++i) {
        p = putByte(p, data[i]);
        sum += data[i];
    }
    putTail(p, sum);
    return ~sum & 0xFF;
}

#if defined(MKSREC_ENCODE_SSE2) || defined(MKSREC_ENCODE_NEON)

// The first `count` (5 to 15) bytes at `data` as a little-endian 128-bit value, zeros after
// them, read without touching a byte past them: overlapping loads of 8 or 4 bytes.
struct Padded {
    std::uint64_t low;
    std::uint64_t high;
};
inline Padded loadPadded(const std::uint8_t* data, std::uint32_t count) {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    if (count >= 8) {
        std::memcpy(&low, data, 8);
        if (count > 8) {
            std::memcpy(&high, data + count - 8, 8);
            high >>= 8 * (16 - count);
        }
    } else {
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        std::memcpy(&first, data, 4);
        std::memcpy(&last, data + count - 4, 4);
        low = first | (std::uint64_t{last} >> (8 * (8 - count)) << 32);
    }
    return {low, high};
}

// The count and address bytes in line order, the first in the lowest byte: the address's
// bytes reversed, its empty top byte making room for the count.
inline std::uint32_t headerBytes(std::uint32_t address, std::uint32_t count) {
#if defined(__GNUC__)
    const std::uint32_t reversed = __builtin_bswap32(address);
#elif defined(_MSC_VER)
    const std::uint32_t reversed = _byteswap_ulong(address);
#else
    const std::uint32_t reversed =
        (address & 0xFF) << 24 | (address & 0xFF00) << 8 | (address >> 8 & 0xFF00) | address >> 24;
#endif
    return reversed | (count + 4);
}

// A record of one to four bytes: the header and the data, read a byte at a time, in the
// lowest eight bytes of a register.
inline std::uint64_t shortRecord(std::uint32_t address, const std::uint8_t* data,
                                 std::uint32_t count) {
    std::uint32_t bytes = 0;
    switch (count) {
    case 4:
        bytes = std::uint32_t{data[3]} << 24;
        [[fallthrough]];
    case 3:
        bytes |= std::uint32_t{data[2]} << 16;
        [[fallthrough]];
    case 2:
        bytes |= std::uint32_t{data[1]} << 8;
        [[fallthrough]];
    default:
        bytes |= data[0];
    }
    return headerBytes(address, count) | std::uint64_t{bytes} << 32;
}

// The checksum's digits and CR LF in one store.
inline void putTailLittleEndian(char* p, std::uint32_t sum) {
    std::uint16_t digits = 0;
    std::memcpy(&digits, hexPairs.pair[~sum & 0xFF].data(), 2);
    const std::uint32_t tail = digits | std::uint32_t{'\r'} << 16 | std::uint32_t{'\n'} << 24;
    std::memcpy(p, &tail, 4);
}

#endif

// The vector encoders hex-encode the four header bytes (count, address) and the first
// twelve data bytes as one register of sixteen, and the last four data bytes, when there
// are more than twelve, as a second; a record of up to four bytes takes eight lanes of one.
// Stores run past the line's end, never more than maxLineLength characters from its start
// (a Line holds as many).

#if defined(MKSREC_ENCODE_SSE2)

// Sixteen nibbles (0 to 15) as lowercase digits: '0' + n, plus 39 more from 10 on, which
// lands on 'a'. SSE2 has no byte shuffle to look them up in a table.
inline __m128i digitsOf(__m128i nibbles) {
    const __m128i letter = _mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9));
    return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')),
                        _mm_and_si128(letter, _mm_set1_epi8('a' - '0' - 10)));
}

// The digits of the first eight bytes of `bytes` at p, those of the last eight at p + 16
// if `both`.
inline void putDigits(char* p, __m128i bytes, bool both) {
    const __m128i lowNibble = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), lowNibble);
    const __m128i low = _mm_and_si128(bytes, lowNibble);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), digitsOf(_mm_unpacklo_epi8(high, low)));
    if (both) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16),
                         digitsOf(_mm_unpackhi_epi8(high, low)));
    }
}

inline std::uint32_t encodeVector(char* p, std::uint32_t address, const std::uint8_t* data,
                                  std::uint32_t count) {
    p[0] = 'S';
    p[1] = '2';
    if (count <= 4) {
        const __m128i bytes =
            _mm_set_epi64x(0, static_cast<long long>(shortRecord(address, data, count)));
        putDigits(p + 2, bytes, false);
        const auto sum =
            static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_sad_epu8(bytes, _mm_setzero_si128())));
        putTailLittleEndian(p + dataLineLength(count) - 4, sum);
        return ~sum & 0xFF;
    }
    __m128i bytes;
    if (count == maxDataBytes) {
        bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
    } else {
        const Padded padded = loadPadded(data, count);
        bytes =
            _mm_set_epi64x(static_cast<long long>(padded.high), static_cast<long long>(padded.low));
    }
    const __m128i first = _mm_or_si128(
        _mm_slli_si128(bytes, 4), _mm_cvtsi32_si128(static_cast<int>(headerBytes(address, count))));
    putDigits(p + 2, first, true);
    // The padding is zero, so the sums of absolute differences from zero add up just the
    // record's bytes, one sum per eight bytes.
    __m128i sums = _mm_sad_epu8(first, _mm_setzero_si128());
    if (count > 12) {
        const __m128i rest = _mm_srli_si128(bytes, 12);
        putDigits(p + 34, rest, false);
        sums = _mm_add_epi64(sums, _mm_sad_epu8(rest, _mm_setzero_si128()));
    }
    const auto sum =
        static_cast<std::uint32_t>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
    putTailLittleEndian(p + dataLineLength(count) - 4, sum);
    return ~sum & 0xFF;
}

// Two lines of sixteen bytes, the usual record, one right behind the other from p: their
// headers share one register, their data take one each, and their checksums are summed
// together; a sixth fewer instructions than a line at a time. Returns the second
// line's checksum.
inline std::uint32_t encodePairOf16(char* p, std::uint32_t address, const std::uint8_t* data) {
    constexpr std::size_t length = dataLineLength(maxDataBytes);
    char* const q = p + length;
    const std::uint64_t headers = headerBytes(address, maxDataBytes) |
                                  std::uint64_t{headerBytes(address + maxDataBytes, maxDataBytes)}
                                      << 32;
    const __m128i header = _mm_set_epi64x(0, static_cast<long long>(headers));
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16));
    // Both headers' digits go to the first line, the second's to be overwritten by data.
    const __m128i lowNibble = _mm_set1_epi8(0x0F);
    const __m128i headerDigits = digitsOf(_mm_unpacklo_epi8(
        _mm_and_si128(_mm_srli_epi16(header, 4), lowNibble), _mm_and_si128(header, lowNibble)));
    p[0] = q[0] = 'S';
    p[1] = q[1] = '2';
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 2), headerDigits);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(q + 2),
                     _mm_unpackhi_epi64(headerDigits, headerDigits));
    putDigits(p + 10, first, true);
    putDigits(q + 10, second, true);
    // Each line's sum in one half: its data's two halves and its header, spread so that
    // each header has a half of its own.
    const __m128i zero = _mm_setzero_si128();
    const __m128i firstSums = _mm_sad_epu8(first, zero);
    const __m128i secondSums = _mm_sad_epu8(second, zero);
    const __m128i sums = _mm_add_epi64(_mm_add_epi64(_mm_unpacklo_epi64(firstSums, secondSums),
                                                     _mm_unpackhi_epi64(firstSums, secondSums)),
                                       _mm_sad_epu8(_mm_unpacklo_epi32(header, zero), zero));
    const auto secondSum = static_cast<std::uint32_t>(_mm_extract_epi16(sums, 4));
    putTailLittleEndian(p + length - 4, static_cast<std::uint32_t>(_mm_cvtsi128_si32(sums)));
    putTailLittleEndian(q + length - 4, secondSum);
    return ~secondSum & 0xFF;
}

// Sixteen lines of one byte each, the worst case, from an address that is a multiple of
// sixteen: the lines share all but the last of the address's digits, and that runs from 0
// to f; the data and the checksums are encoded sixteen at once, then the characters that
// differ spread over the lines. Under a third of the instructions of a line at a time. Returns
// the last line's checksum.
inline std::uint32_t encodeSixteenOf1(char* p, std::uint32_t address, const std::uint8_t* data) {
    const __m128i ramp = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
    // Each line's sum: the count (5), the address bytes and the data byte.
    const auto sum =
        static_cast<char>(5 + (address >> 16) + (address >> 8 & 0xFF) + (address & 0xFF));
    const __m128i checksums = _mm_xor_si128(
        _mm_add_epi8(_mm_add_epi8(_mm_set1_epi8(sum), ramp), bytes), _mm_set1_epi8(-1));
    const __m128i lowNibble = _mm_set1_epi8(0x0F);
    const auto highDigits = [&](__m128i v) {
        return digitsOf(_mm_and_si128(_mm_srli_epi16(v, 4), lowNibble));
    };
    const auto lowDigits = [&](__m128i v) { return digitsOf(_mm_and_si128(v, lowNibble)); };
    const __m128i dataHigh = highDigits(bytes);
    const __m128i dataLow = lowDigits(bytes);
    const __m128i sumHigh = highDigits(checksums);
    const __m128i sumLow = lowDigits(checksums);

    // Two characters a line in each 16-bit lane, eight lines a register: the address's last
    // two digits, the data's, the checksum's, CR LF.
    const __m128i fifthDigit = _mm_set1_epi8(hexPairs.pair[address >> 4 & 0xF][1]);
    const __m128i sixthDigits = _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a',
                                              'b', 'c', 'd', 'e', 'f');
    const __m128i addressPairs[2] = {_mm_unpacklo_epi8(fifthDigit, sixthDigits),
                                     _mm_unpackhi_epi8(fifthDigit, sixthDigits)};
    const __m128i lineEnd = _mm_set1_epi16(static_cast<short>('\r' | '\n' << 8));
    const __m128i dataPairs[2] = {_mm_unpacklo_epi8(dataHigh, dataLow),
                                  _mm_unpackhi_epi8(dataHigh, dataLow)};
    const __m128i sumPairs[2] = {_mm_unpacklo_epi8(sumHigh, sumLow),
                                 _mm_unpackhi_epi8(sumHigh, sumLow)};
    // "S205" and the address's first four digits, in both halves.
    std::uint64_t start = 'S' | '2' << 8 | '0' << 16 | std::uint64_t{'5'} << 24;
    std::uint16_t digits = 0;
    std::memcpy(&digits, hexPairs.pair[address >> 16 & 0xFF].data(), 2);
    start |= std::uint64_t{digits} << 32;
    std::memcpy(&digits, hexPairs.pair[address >> 8 & 0xFF].data(), 2);
    start |= std::uint64_t{digits} << 48;
    const __m128i starts = _mm_set1_epi64x(static_cast<long long>(start));

    for (int half = 0; half < 2; ++half) {
        // The ends of eight lines: their first four characters, then their last four.
        const __m128i heads[2] = {_mm_unpacklo_epi16(addressPairs[half], dataPairs[half]),
                                  _mm_unpackhi_epi16(addressPairs[half], dataPairs[half])};
        const __m128i tails[2] = {_mm_unpacklo_epi16(sumPairs[half], lineEnd),
                                  _mm_unpackhi_epi16(sumPairs[half], lineEnd)};
        for (int quarter = 0; quarter < 2; ++quarter) {
            const __m128i ends[2] = {_mm_unpacklo_epi32(heads[quarter], tails[quarter]),
                                     _mm_unpackhi_epi32(heads[quarter], tails[quarter])};
            for (const __m128i& two : ends) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_unpacklo_epi64(starts, two));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16),
                                 _mm_unpackhi_epi64(starts, two));
                p += 32;
            }
        }
    }
    return static_cast<std::uint32_t>(_mm_extract_epi16(checksums, 7)) >> 8;
}

#elif defined(MKSREC_ENCODE_NEON)

// The digits of the first eight bytes of `bytes` at p, those of the last eight at p + 16
// if `both`.
inline void putDigits(char* p, uint8x16_t bytes, bool both) {
    static constexpr std::uint8_t digitTable[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                    '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    const uint8x16_t digits = vld1q_u8(digitTable);
    const uint8x16_t high = vqtbl1q_u8(digits, vshrq_n_u8(bytes, 4));
    const uint8x16_t low = vqtbl1q_u8(digits, vandq_u8(bytes, vdupq_n_u8(0x0F)));
    auto* out = reinterpret_cast<std::uint8_t*>(p);
    vst1q_u8(out, vzip1q_u8(high, low));
    if (both) {
        vst1q_u8(out + 16, vzip2q_u8(high, low));
    }
}

inline std::uint32_t encodeVector(char* p, std::uint32_t address, const std::uint8_t* data,
                                  std::uint32_t count) {
    p[0] = 'S';
    p[1] = '2';
    if (count <= 4) {
        const uint8x8_t bytes = vcreate_u8(shortRecord(address, data, count));
        putDigits(p + 2, vcombine_u8(bytes, vdup_n_u8(0)), false);
        const std::uint32_t sum = vaddlv_u8(bytes);
        putTailLittleEndian(p + dataLineLength(count) - 4, sum);
        return ~sum & 0xFF;
    }
    uint8x16_t bytes;
    if (count == maxDataBytes) {
        bytes = vld1q_u8(data);
    } else {
        const Padded padded = loadPadded(data, count);
        bytes = vcombine_u8(vcreate_u8(padded.low), vcreate_u8(padded.high));
    }
    const std::uint32_t header = headerBytes(address, count);
    // The header from the top four lanes of a register that holds it in every four.
    const uint8x16_t first = vextq_u8(vreinterpretq_u8_u32(vdupq_n_u32(header)), bytes, 12);
    putDigits(p + 2, first, true);
    if (count > 12) {
        putDigits(p + 34, vextq_u8(bytes, vdupq_n_u8(0), 12), false);
    }
    // The padding is zero, so summing all sixteen lanes adds up just the record's bytes.
    const std::uint32_t sum = vaddlvq_u8(bytes) + vaddlv_u8(vcreate_u8(header));
    putTailLittleEndian(p + dataLineLength(count) - 4, sum);
    return ~sum & 0xFF;
}

#endif

#if defined(MKSREC_ENCODE_SSE2) || defined(MKSREC_ENCODE_NEON)
constexpr bool haveVector = true;
#else
constexpr bool haveVector = false;
#endif

// The encoder this build uses, at p, which has room for maxLineLength characters.
inline std::uint32_t encodeAt(char* p, std::uint32_t address, const std::uint8_t* data,
                              std::uint32_t count) {
#if defined(MKSREC_ENCODE_SSE2) || defined(MKSREC_ENCODE_NEON)
    return encodeVector(p, address, data, count);
#else
    return encodePortable(p, address, data, count);
#endif
}

inline std::uint32_t encode(Line& line, std::uint32_t address, const std::uint8_t* data,
                            std::uint32_t count) {
    return encodeAt(line.data(), address, data, count);
}

// `lines` lines of Count bytes each, back to back from p: the first with the bytes at
// `data` at `address`, each next one with the bytes and at the address right behind the
// one before. A constant count lets the compiler drop the encoder's tests of it.
template <std::uint32_t Count>
std::uint32_t encodeLinesOf(char* p, std::uint32_t address, const std::uint8_t* data,
                            std::size_t lines) {
    std::uint32_t checksum = 0;
    std::size_t i = 0;
#if defined(MKSREC_ENCODE_SSE2)
    if constexpr (Count == 1) {
        for (; i < lines && address % 16 != 0; ++i) {
            checksum = encodeAt(p, address, data, Count);
            p += dataLineLength(Count);
            ++address;
            ++data;
        }
        for (; i + 16 <= lines; i += 16) {
            checksum = encodeSixteenOf1(p, address, data);
            p += 16 * dataLineLength(Count);
            address += 16;
            data += 16;
        }
    }
    if constexpr (Count == maxDataBytes) {
        for (; i + 2 <= lines; i += 2) {
            checksum = encodePairOf16(p, address, data);
            p += 2 * dataLineLength(Count);
            address += 2 * Count;
            data += 2 * std::size_t{Count};
        }
    }
#endif
    for (; i < lines; ++i) {
        checksum = encodeAt(p, address, data, Count);
        p += dataLineLength(Count);
        address += Count;
        data += Count;
    }
    return checksum;
}

template <std::size_t... Counts>
constexpr auto lineEncoders(std::index_sequence<Counts...> /*counts*/) {
    using Encoder = std::uint32_t (*)(char*, std::uint32_t, const std::uint8_t*, std::size_t);
    return std::array<Encoder, sizeof...(Counts)>{encodeLinesOf<Counts + 1>...};
}

// The lines of `lines` consecutive records of `count` (1 to 16) bytes each, the last of
// them ending at or below 0xFFFFFF; the last line's checksum. Writes up to maxLineLength
// characters from the last line's start.
inline std::uint32_t encodeLines(char* p, std::uint32_t address, const std::uint8_t* data,
                                 std::uint32_t count, std::size_t lines) {
    static constexpr auto encoders = lineEncoders(std::make_index_sequence<maxDataBytes>());
    return encoders[count - 1](p, address, data, lines);
}

} // namespace mksrec::encoding

#endif
