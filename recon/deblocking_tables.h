// The threshold tables of the deblocking filter (clause 8.7.2.2).
#pragma once

#include <cstdint>

namespace H264 {

// alpha' by indexA and beta' by indexB (Table 8-16), indexes 0..51.
extern const std::uint8_t kAlphaPrime[52];
extern const std::uint8_t kBetaPrime[52];

// tC0' by indexA and bS 1..3 (Table 8-17).
extern const std::uint8_t kTc0Prime[52][3];

}  // namespace H264
