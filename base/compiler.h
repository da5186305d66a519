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

// The big-endian word at p, which may be unaligned.
ISTREL_FORCE_INLINE std::uint32_t loadBigEndian32(const unsigned char* p) {
  std::uint32_t raw;
  std::memcpy(&raw, p, 4);
  if constexpr (std::endian::native == std::endian::big) return raw;
#if defined(_MSC_VER)
  return _byteswap_ulong(raw);
#else
  return __builtin_bswap32(raw);
#endif
}

ISTREL_FORCE_INLINE std::uint64_t loadBigEndian64(const unsigned char* p) {
  std::uint64_t raw;
  std::memcpy(&raw, p, 8);
  if constexpr (std::endian::native == std::endian::big) return raw;
#if defined(_MSC_VER)
  return _byteswap_uint64(raw);
#else
  return __builtin_bswap64(raw);
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
