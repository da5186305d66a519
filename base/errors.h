// Errors travel inside the library as thrown plain integers; allocation
// failures as std::bad_alloc. The exported functions turn both into statuses.
#pragma once

namespace H264 {

enum ErrorCode : int {
  kSliceError = 2,         // malformed or unsupported slice-level syntax
  kParameterSetError = 4,  // malformed or unsupported parameter set
};

[[noreturn]] inline void fail(int code) { throw code; }

// Bit values of the per-stream error word.
enum ErrorFlag : unsigned {
  kErrorOutOfMemory = 1,
  kErrorSliceFailed = 2,
};

}  // namespace H264
