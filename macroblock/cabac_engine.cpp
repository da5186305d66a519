#include "macroblock/cabac_engine.h"

#include <algorithm>

#include "base/compiler.h"
#include "base/errors.h"
#include "base/level.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

void initCabacContexts(ContextVariable* contexts, int sliceQpY) {
  const int qp = std::clamp(sliceQpY, 0, 51);
  for (int ctxIdx = 0; ctxIdx < kContextCount; ++ctxIdx) {
    const CabacInitValue init = kCabacInitI[ctxIdx];
    // C++20 >> of a negative value is the floor shift the standard means.
    const int preCtxState = std::clamp(((init.m * qp) >> 4) + init.n, 1, 126);
    contexts[ctxIdx] = preCtxState <= 63
                           ? ContextVariable(static_cast<unsigned>(63 - preCtxState), 0)
                           : ContextVariable(static_cast<unsigned>(preCtxState - 64), 1);
  }
  contexts[kTerminateCtxIdx] = ContextVariable(63, 0);
}

namespace {

// The big-endian 8 bytes at `offset`, bytes past the end as zero.
std::uint64_t load64(const std::uint8_t* data, std::size_t size, std::size_t offset) {
  if (size >= 8 && offset <= size - 8) {
    return loadBigEndian<std::uint64_t>(data + offset);
  }
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    const std::uint64_t byte = offset + i < size ? data[offset + i] : 0;
    word |= byte << (56 - 8 * i);
  }
  return word;
}

}  // namespace

void CabacEngine::start(const std::uint8_t* data, std::size_t size, std::size_t byteOffset) {
  data_ = data;
  size_ = size;
  pos_ = byteOffset;
  const Refilled r = refill(0, 0);
  value_ = r.value;
  count_ = r.count - 9;  // codIOffset = read_bits(9)
  range_ = 510;
  if ((value_ >> count_) >= 510) fail(kSliceError);
}

int CabacEngine::decodeTerminate() {
  range_ -= 2;
  if (value_ >= (std::uint64_t{range_} << count_)) return 1;
  Cursor c = cursor();
  c.renormalise();
  resume(c);
  return 0;
}

CabacEngine::Refilled CabacEngine::refill(std::uint64_t value, int count) {
  const int bytes = (kMaxCount - count) >> 3;
  const int bits = 8 * bytes;
  value = (value << bits) | (load64(data_, size_, pos_) >> (64 - bits));
  pos_ += static_cast<std::size_t>(bytes);
  return {value, count + bits};
}

ISTREL_LEVEL_END
}  // namespace H264
