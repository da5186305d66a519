#include "syntax/annexb.h"

#include <cstring>

namespace H264 {
namespace {

// The payload's trailing zero bytes are not part of it: an RBSP ends with its
// stop bit.
UnescapedNal finish(const std::uint8_t* data, std::size_t w, std::size_t to, std::size_t end) {
  while (w > to && data[w - 1] == 0) --w;
  return {end, w - to};
}

}  // namespace

// Jumps from zero byte to zero byte (memchr is vectorised by the C library)
// and moves the bytes between in blocks; only a 00 00 pair needs a look at
// the byte after it.
UnescapedNal unescapeInPlace(std::uint8_t* data, std::size_t size, std::size_t from,
                             std::size_t to) {
  std::size_t r = from;
  std::size_t w = to;
  auto move = [&](std::size_t end) {
    if (end == r) return;  // also keeps an empty buffer's null pointer out of memmove
    std::memmove(data + w, data + r, end - r);
    w += end - r;
    r = end;
  };
  while (r + 2 < size) {
    const void* found = std::memchr(data + r, 0, size - 2 - r);
    if (!found) break;
    const std::size_t z = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - data);
    if (data[z + 1] != 0) {
      move(z + 2);  // no 00 00 begins at z or z + 1
    } else if (data[z + 2] > 3) {
      move(z + 3);
    } else if (data[z + 2] == 3) {
      move(z + 2);  // 00 00 kept, 03 dropped
      ++r;
    } else {
      move(z);  // 00 00 00, 00 00 01 or 00 00 02 ends the unit
      return finish(data, w, to, r);
    }
  }
  move(size);  // the unit runs to the end of the buffer
  return finish(data, w, to, r);
}

}  // namespace H264
