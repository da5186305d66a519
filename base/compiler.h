#pragma once

#if defined(_MSC_VER)
#define ISTREL_FORCE_INLINE __forceinline
#else
#define ISTREL_FORCE_INLINE inline __attribute__((always_inline))
#endif
