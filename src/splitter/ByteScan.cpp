#include "splitter/ByteScan.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace folioknife::splitter {

#if defined(__SSE2__)

namespace {
// Index of the lowest set bit of a non-zero mask.
inline unsigned lowestBit(unsigned mask) { return static_cast<unsigned>(__builtin_ctz(mask)); }
inline __m128i load(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
}  // namespace

const char* findEitherByte(const char* p, const char* end, unsigned char a, unsigned char b) {
    const __m128i va = _mm_set1_epi8(static_cast<char>(a));
    const __m128i vb = _mm_set1_epi8(static_cast<char>(b));
    // Four vectors a step: one test of the combined mask per 64 bytes.
    while (end - p >= 64) {
        const __m128i x0 = load(p), x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
        const __m128i h0 = _mm_or_si128(_mm_cmpeq_epi8(x0, va), _mm_cmpeq_epi8(x0, vb));
        const __m128i h1 = _mm_or_si128(_mm_cmpeq_epi8(x1, va), _mm_cmpeq_epi8(x1, vb));
        const __m128i h2 = _mm_or_si128(_mm_cmpeq_epi8(x2, va), _mm_cmpeq_epi8(x2, vb));
        const __m128i h3 = _mm_or_si128(_mm_cmpeq_epi8(x3, va), _mm_cmpeq_epi8(x3, vb));
        const __m128i any = _mm_or_si128(_mm_or_si128(h0, h1), _mm_or_si128(h2, h3));
        if (_mm_movemask_epi8(any) != 0) {
            const __m128i parts[4] = {h0, h1, h2, h3};
            for (int k = 0; k < 4; ++k) {
                const auto mask = static_cast<unsigned>(_mm_movemask_epi8(parts[k]));
                if (mask != 0) return p + 16 * k + lowestBit(mask);
            }
        }
        p += 64;
    }
    while (end - p >= 16) {
        const __m128i x = load(p);
        const auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb))));
        if (mask != 0) return p + lowestBit(mask);
        p += 16;
    }
    for (; p < end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == a || c == b) return p;
    }
    return end;
}

const char* findBytePair(const char* p, const char* end, unsigned char a, unsigned char b) {
    const __m128i va = _mm_set1_epi8(static_cast<char>(a));
    const __m128i vb = _mm_set1_epi8(static_cast<char>(b));
    // Each step compares 16 positions: the bytes at p and, shifted by one, the bytes after.
    while (end - p >= 33) {
        const __m128i x0 = load(p), y0 = load(p + 1), x1 = load(p + 16), y1 = load(p + 17);
        const __m128i h0 = _mm_and_si128(_mm_cmpeq_epi8(x0, va), _mm_cmpeq_epi8(y0, vb));
        const __m128i h1 = _mm_and_si128(_mm_cmpeq_epi8(x1, va), _mm_cmpeq_epi8(y1, vb));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(h0)) |
                          static_cast<unsigned>(_mm_movemask_epi8(h1)) << 16;
        if (mask != 0) return p + lowestBit(mask);
        p += 32;
    }
    for (; end - p >= 2; ++p) {
        if (static_cast<unsigned char>(p[0]) == a && static_cast<unsigned char>(p[1]) == b)
            return p;
    }
    return end;
}

#else

const char* findEitherByte(const char* p, const char* end, unsigned char a, unsigned char b) {
    // Block by block, so that the second memchr reads what the first just brought in.
    constexpr std::size_t kBlock = std::size_t{64} << 10;
    while (p < end) {
        const std::size_t n =
            static_cast<std::size_t>(end - p) < kBlock ? static_cast<std::size_t>(end - p) : kBlock;
        const void* hitA = std::memchr(p, a, n);
        const std::size_t limit =
            hitA ? static_cast<std::size_t>(static_cast<const char*>(hitA) - p) : n;
        const void* hitB = std::memchr(p, b, limit);
        if (hitB) return static_cast<const char*>(hitB);
        if (hitA) return static_cast<const char*>(hitA);
        p += n;
    }
    return end;
}

const char* findBytePair(const char* p, const char* end, unsigned char a, unsigned char b) {
    while (end - p >= 2) {
        const void* hit = std::memchr(p, a, static_cast<std::size_t>(end - p - 1));
        if (!hit) return end;
        p = static_cast<const char*>(hit);
        if (static_cast<unsigned char>(p[1]) == b) return p;
        ++p;
    }
    return end;
}

#endif

}  // namespace folioknife::splitter
