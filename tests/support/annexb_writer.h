// Wraps RBSPs into an Annex B byte stream for tests.
#pragma once

#include <cstdint>
#include <vector>

namespace istrel::test {

using Bytes = std::vector<std::uint8_t>;

// Appends a start code, the header byte and `payload`; with `escape` set,
// emulation-prevention bytes are inserted as an encoder would.
inline void appendNal(Bytes& stream, std::uint8_t header, const Bytes& payload, bool escape = true,
                      bool fourByteStartCode = false) {
  if (fourByteStartCode) stream.push_back(0);
  stream.insert(stream.end(), {0, 0, 1, header});
  int zeros = 0;
  for (std::uint8_t byte : payload) {
    if (escape && zeros >= 2 && byte <= 3) {
      stream.push_back(3);
      zeros = 0;
    }
    stream.push_back(byte);
    zeros = byte == 0 ? zeros + 1 : 0;
  }
}

}  // namespace istrel::test
