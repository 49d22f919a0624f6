// Searching for the record tag at memory speed.
//
// The fast paths compare a block of candidate positions at once: the byte
// at each position against 'D' and the byte three further on against the
// tag's last 'D'. Only positions where both match are checked in full, so
// the loop does two loads, two compares and a mask test per block. Other
// processors get the standard library's Boyer-Moore-Horspool search.

#include "tag_search.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <iterator>

// x86-64 as GCC and clang name it, and as MSVC does. The AVX2 search needs
// the per-function target attribute and CPU check of GCC and clang; MSVC
// takes the SSE2 one, which every x86-64 CPU runs.
#if defined(__x86_64__) || defined(_M_X64)
#define TARVIDON_X86_64 1
#include <immintrin.h>
#if defined(__GNUC__)
#define TARVIDON_AVX2 1
#endif
#endif

namespace tarvidon {

namespace {

constexpr std::uint8_t kTag[4] = {'D', 'T', 'H', 'D'};
constexpr std::size_t kTagSize = sizeof kTag;

bool TagAt(const std::uint8_t *p)
{
    return std::memcmp(p, kTag, kTagSize) == 0;
}

#if defined(TARVIDON_X86_64)

// Checks the candidates flagged in mask (bit k: position base + k).
template <typename Mask>
const std::uint8_t *FirstConfirmed(const std::uint8_t *base, Mask mask)
{
    while (mask != 0) {
        const int k = std::countr_zero(mask);
        if (TagAt(base + k))
            return base + k;
        mask &= mask - 1;
    }
    return nullptr;
}

// SSE2 is part of every x86-64 CPU.
std::size_t FindSse2(const std::uint8_t *bytes, std::size_t size)
{
    const __m128i d = _mm_set1_epi8('D'); // the tag's first and last byte
    std::size_t i = 0;
    for (; i + 16 + kTagSize - 1 <= size; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i + kTagSize - 1));
        const auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, d), _mm_cmpeq_epi8(b, d))));
        if (const std::uint8_t *hit = FirstConfirmed(bytes + i, mask))
            return static_cast<std::size_t>(hit - bytes);
    }
    return i + FindRecordTagByteByByte(bytes + i, size - i);
}

#if defined(TARVIDON_AVX2)

// 0xFF in each of 32 lanes whose position could start a tag.
__attribute__((target("avx2"))) inline __m256i Avx2Candidates(const std::uint8_t *at)
{
    const __m256i d = _mm256_set1_epi8('D');
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at + kTagSize - 1));
    return _mm256_and_si256(_mm256_cmpeq_epi8(a, d), _mm256_cmpeq_epi8(b, d));
}

// Two 32-byte blocks per round; their masks are tested together, since
// nearly all of them are empty.
__attribute__((target("avx2"))) std::size_t FindAvx2(const std::uint8_t *bytes, std::size_t size)
{
    std::size_t i = 0;
    for (; i + 64 + kTagSize - 1 <= size; i += 64) {
        const __m256i low = Avx2Candidates(bytes + i);
        const __m256i high = Avx2Candidates(bytes + i + 32);
        if (_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high)))
            continue;
        const auto lowMask = static_cast<std::uint32_t>(_mm256_movemask_epi8(low));
        const auto highMask = static_cast<std::uint32_t>(_mm256_movemask_epi8(high));
        const std::uint64_t mask = lowMask | (static_cast<std::uint64_t>(highMask) << 32);
        if (const std::uint8_t *hit = FirstConfirmed(bytes + i, mask))
            return static_cast<std::size_t>(hit - bytes);
    }
    return i + FindSse2(bytes + i, size - i);
}

using Finder = std::size_t (*)(const std::uint8_t *, std::size_t);

Finder ChooseFinder()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? FindAvx2 : FindSse2;
}

#endif // TARVIDON_AVX2
#endif // TARVIDON_X86_64

} // namespace

std::size_t FindRecordTagByteByByte(const std::uint8_t *bytes, std::size_t size)
{
    for (std::size_t i = 0; i + kTagSize <= size; ++i) {
        if (TagAt(bytes + i))
            return i;
    }
    return size;
}

std::size_t FindRecordTag(const std::uint8_t *bytes, std::size_t size)
{
#if defined(TARVIDON_AVX2)
    static const Finder finder = ChooseFinder();
    return finder(bytes, size);
#elif defined(TARVIDON_X86_64)
    return FindSse2(bytes, size);
#else
    static const std::boyer_moore_horspool_searcher searcher(std::begin(kTag), std::end(kTag));
    return static_cast<std::size_t>(std::search(bytes, bytes + size, searcher) - bytes);
#endif
}

} // namespace tarvidon
