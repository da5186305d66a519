// The processor architecture this build was compiled for; the kernel level
// in use is chosen at run time (H264::defaultKernelLevel in base/cpu.h).
#pragma once

namespace istrel::tools {

constexpr const char* kBuildArchitecture =
#if defined(__x86_64__) || defined(_M_X64)
    "x86-64"
#elif defined(__aarch64__) || defined(_M_ARM64)
    "aarch64"
#elif defined(__i386__) || defined(_M_IX86)
    "x86"
#else
    "generic"
#endif
    ;

}  // namespace istrel::tools
