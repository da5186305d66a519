// QPC from QPY (clause 8.5.8, Table 8-15), for scaling and for the deblocking
// filter's chroma edges.
#pragma once

#include <algorithm>
#include <cstdint>

#include "base/compiler.h"

namespace H264 {

// QPC by qPI 0..51.
extern const std::uint8_t kChromaQpTable[52];

// QPC of a chroma component whose offset (chroma_qp_index_offset or
// second_chroma_qp_index_offset) is `offset`.
ISTREL_FORCE_INLINE int chromaQp(int qpY, int offset, int qpBdOffsetC) {
  const int qPI = std::clamp(qpY + offset, -qpBdOffsetC, 51);
  return qPI < 0 ? qPI : kChromaQpTable[qPI];
}

}  // namespace H264
