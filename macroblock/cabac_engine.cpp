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
                           ? ContextVariable(static_cast<unsigned>(63 - preCtxState), 0)
                           : ContextVariable(static_cast<unsigned>(preCtxState - 64), 1);
  }
  contexts[kTerminateCtxIdx] = ContextVariable(63, 0);
}

void CabacEngine::start(const std::uint8_t* data, std::size_t size, std::size_t byteOffset) {
  data_ = data;
  size_ = size;
  pos_ = byteOffset;
  value_ = 0;
  count_ = 0;
  refill();
  range_ = 510;
  count_ -= 9;  // codIOffset = read_bits(9)
  if ((value_ >> count_) >= 510) fail(kSliceError);
}

int CabacEngine::decodeTerminate() {
  range_ -= 2;
  if (value_ >= (std::uint64_t{range_} << count_)) return 1;
  renormalise();
  return 0;
}

// Tops value_ up with whole bytes to 48 to 55 bits below codIOffset.
void CabacEngine::refill() {
  const int bytes = (kMaxCount - count_) >> 3;
  const int bits = 8 * bytes;
  value_ = (value_ << bits) | (load64(pos_) >> (64 - bits));
  pos_ += static_cast<std::size_t>(bytes);
  count_ += bits;
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
