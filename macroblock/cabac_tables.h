// Constant tables of the CABAC decoding engine (ITU-T H.264 clause 9.3).
#pragma once

#include <array>
#include <cstdint>

namespace H264 {

constexpr int kContextCount = 1024;

// end_of_slice_flag and the I_PCM bin of mb_type; it has no (m, n) and starts
// at pStateIdx 63, valMPS 0 (clause 9.3.1.1).
constexpr int kTerminateCtxIdx = 276;

struct CabacInitValue {
  std::int8_t m;
  std::int8_t n;
};

// (m, n) of every ctxIdx for I slices (Tables 9-12 to 9-33). ctxIdx 11 to 59
// exist only in P, SP and B slices and ctxIdx 276 has no pair: they hold (0, 64),
// which gives the equiprobable state pStateIdx 0, valMPS 1 at every QP, so an
// unused context can never carry a state out of range. 276 is then set apart.
extern const CabacInitValue kCabacInitI[kContextCount];

// rangeTabLPS (Table 9-44) by pStateIdx and qCodIRangeIdx.
extern const std::uint8_t kRangeTabLps[64][4];

// transIdxLPS and transIdxMPS (Table 9-45) by pStateIdx.
extern const std::uint8_t kTransIdxLps[64];
extern const std::uint8_t kTransIdxMps[64];

// The same transitions on the packed state pStateIdx * 2 + valMPS: entry
// state after an MPS, entry 128 + state after an LPS.
extern const std::array<std::uint8_t, 256> kNextState;

}  // namespace H264
