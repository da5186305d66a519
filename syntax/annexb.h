// Annex B byte streams: start-code search and in-place removal of
// emulation-prevention bytes (ITU-T H.264 clauses 7.4.1 and B.2).
#pragma once

#include <cstddef>
#include <cstdint>

namespace H264 {

// Position of the NAL header byte of the first NAL unit whose start code
// (00 00 01) begins at or after `from` and whose header byte `accept`s;
// `size` when there is none before the end of the buffer.
template <typename Accept>
std::size_t findNalUnit(const std::uint8_t* data, std::size_t size, std::size_t from,
                        Accept accept) {
  for (std::size_t i = from; i + 3 < size; ++i) {
    if (data[i + 2] > 1) {
      i += 2;  // no start code can begin at i, i + 1 or i + 2
      continue;
    }
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && accept(data[i + 3])) return i + 3;
  }
  return size;
}

struct UnescapedNal {
  std::size_t end;     // where the NAL unit ends in the original bytes
  std::size_t length;  // payload bytes written, trailing zero bytes dropped
};

// Copies the payload that starts at `from` to `to` (to <= from), dropping
// every 03 of a 00 00 03 sequence, until a 00 00 0x sequence (x < 3) or the
// end of the buffer. The payload's trailing zero bytes are not counted: an
// RBSP ends with its stop bit.
UnescapedNal unescapeInPlace(std::uint8_t* data, std::size_t size, std::size_t from,
                             std::size_t to);

}  // namespace H264
