// What differs between compilers: forced inlining, byte swaps, prefetches.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(_MSC_VER)
#include <intrin.h>
#include <stdlib.h>
#define ISTREL_FORCE_INLINE __forceinline
#else
#define ISTREL_FORCE_INLINE inline __attribute__((always_inline))
#endif

namespace H264 {

// The big-endian word at p (4 or 8 bytes), which may be unaligned.
template <typename Word>
ISTREL_FORCE_INLINE Word loadBigEndian(const unsigned char* p) {
  static_assert(sizeof(Word) == 4 || sizeof(Word) == 8);
  Word raw;
  std::memcpy(&raw, p, sizeof raw);
  if constexpr (std::endian::native == std::endian::big) return raw;
#if defined(_MSC_VER)
  if constexpr (sizeof(Word) == 8) {
    return _byteswap_uint64(raw);
  } else {
    return _byteswap_ulong(raw);
  }
#else
  if constexpr (sizeof(Word) == 8) {
    return __builtin_bswap64(raw);
  } else {
    return __builtin_bswap32(raw);
  }
#endif
}

// Asks for the cache line of p ahead of a write to it.
ISTREL_FORCE_INLINE void prefetchForWrite(const void* p) {
#if defined(_MSC_VER)
  _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0);
#else
  __builtin_prefetch(p, 1);
#endif
}

}  // namespace H264
