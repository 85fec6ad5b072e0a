#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__ARM_NEON)
#include <arm_neon.h>
#endif

// Sixteen bytes at a time, for the loops that scan long texts (loading and searching the
// activity log). GCC and Clang vector extensions: SSE2 on x86-64, NEON on ARM.
namespace pellora::ByteBlock {

using Block = std::uint8_t __attribute__((vector_size(16)));
constexpr std::size_t size = sizeof(Block);

inline Block load(const char* at) {
    Block block;
    std::memcpy(&block, at, size);
    return block;
}

inline Block splat(std::uint8_t value) { return Block{} + value; }

// Whether any byte of a comparison result (all bits set or clear per byte) is set.
template <class Vector> inline bool any(Vector vector) {
#if defined(__SSE2__)
    return _mm_movemask_epi8((__m128i)vector) != 0;
#elif defined(__ARM_NEON)
    return vmaxvq_u8((uint8x16_t)vector) != 0;
#else
    using Lanes = std::uint64_t __attribute__((vector_size(16)));
    const Lanes lanes = (Lanes)vector;
    return (lanes[0] | lanes[1]) != 0;
#endif
}

// One bit per byte of a comparison result, lowest byte in the lowest bit.
template <class Vector> inline std::uint32_t mask(Vector vector) {
#if defined(__SSE2__)
    return std::uint32_t(_mm_movemask_epi8((__m128i)vector));
#else
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < size; ++i)
        bits |= std::uint32_t(vector[i] != 0) << i;
    return bits;
#endif
}

inline bool isAscii(std::string_view text) {
    Block high{};
    std::size_t i = 0;
    for (; i + size <= text.size(); i += size)
        high |= load(text.data() + i);
    std::uint8_t rest = 0;
    for (; i < text.size(); ++i)
        rest |= std::uint8_t(text[i]);
    return !any((high & splat(0x80)) != splat(0)) && rest < 0x80;
}

} // namespace pellora::ByteBlock
