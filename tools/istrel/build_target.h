// The processor and instruction-set level this build was compiled for, from
// the compiler's predefined macros (the library is built with the same flags).
#pragma once

namespace istrel::tools {

constexpr const char* kBuildTarget =
#if defined(__x86_64__) || defined(_M_X64)
    "x86-64"
#if defined(__AVX512F__)
    ", AVX-512"
#elif defined(__AVX2__)
    ", AVX2"
#elif defined(__AVX__)
    ", AVX"
#elif defined(__SSE4_2__)
    ", SSE4.2"
#elif defined(__SSE4_1__)
    ", SSE4.1"
#else
    ", SSE2"
#endif
#elif defined(__aarch64__) || defined(_M_ARM64)
    "aarch64, NEON"
#elif defined(__i386__) || defined(_M_IX86)
    "x86"
#else
    "generic"
#endif
    ;

}  // namespace istrel::tools
