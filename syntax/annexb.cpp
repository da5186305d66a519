#include "syntax/annexb.h"

namespace H264 {

UnescapedNal unescapeInPlace(std::uint8_t* data, std::size_t size, std::size_t from,
                             std::size_t to) {
  std::size_t r = from;
  std::size_t w = to;
  while (r + 2 < size) {
    if (data[r] != 0 || data[r + 1] != 0 || data[r + 2] > 3) {
      data[w++] = data[r++];
    } else if (data[r + 2] == 3) {
      data[w++] = 0;
      data[w++] = 0;
      r += 3;
    } else {
      break;
    }
  }
  if (r + 2 >= size) {
    while (r < size) data[w++] = data[r++];  // the unit runs to the end of the buffer
  }
  while (w > to && data[w - 1] == 0) --w;
  return {r, w - to};
}

}  // namespace H264
