#include "macroblock/cabac_engine.h"

#include <algorithm>
#include <cstring>

#include "core/errors.h"

namespace H264 {

void initCabacContexts(ContextVariable* contexts, int sliceQpY) {
  const int qp = std::clamp(sliceQpY, 0, 51);
  for (int ctxIdx = 0; ctxIdx < kContextCount; ++ctxIdx) {
    const CabacInitValue init = kCabacInitI[ctxIdx];
    // C++20 >> of a negative value is the floor shift the standard means.
    const int preCtxState = std::clamp(((init.m * qp) >> 4) + init.n, 1, 126);
    contexts[ctxIdx] = preCtxState <= 63
                           ? ContextVariable{static_cast<std::uint8_t>(63 - preCtxState), 0}
                           : ContextVariable{static_cast<std::uint8_t>(preCtxState - 64), 1};
  }
  contexts[kTerminateCtxIdx] = ContextVariable{63, 0};
}

void CabacEngine::start(const std::uint8_t* data, std::size_t size, std::size_t byteOffset) {
  data_ = data;
  size_ = size;
  pos_ = byteOffset;
  cache_ = 0;
  cacheBits_ = 0;
  refill();
  range_ = 510;
  offset_ = readBits(9);
  if (offset_ >= 510) fail(kSliceError);
}

int CabacEngine::decodeTerminate() {
  range_ -= 2;
  if (offset_ >= range_) return 1;
  renormalise();
  return 0;
}

// Tops the cache up to 56 to 63 counted bits.
void CabacEngine::refill() {
  cache_ |= load64(pos_) >> cacheBits_;
  const int bytes = (63 - cacheBits_) >> 3;
  pos_ += static_cast<std::size_t>(bytes);
  cacheBits_ += 8 * bytes;
}

// The big-endian 8 bytes at `offset`, bytes past the end as zero.
std::uint64_t CabacEngine::load64(std::size_t offset) const {
  if (size_ >= 8 && offset <= size_ - 8) {
    std::uint64_t raw;
    std::memcpy(&raw, data_ + offset, 8);
    if constexpr (std::endian::native == std::endian::little) raw = __builtin_bswap64(raw);
    return raw;
  }
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    const std::uint64_t byte = offset + i < size_ ? data_[offset + i] : 0;
    word |= byte << (56 - 8 * i);
  }
  return word;
}

}  // namespace H264
