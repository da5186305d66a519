#pragma once

namespace H264 {

// How a decoder object treats the few places where the host's established
// decoding deviates from ITU-T H.264.
enum class DecodeMode {
  // The established behaviour, bit for bit (the exported functions use it).
  kCompatible,
  // The decoding process of ITU-T H.264 to the letter.
  kConformant,
};

}  // namespace H264
