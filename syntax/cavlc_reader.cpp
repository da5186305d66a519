#include "syntax/cavlc_reader.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

void readResidualBlock(StreamParser& parser, int nC, int maxNumCoeff, ResidualLevels& out) {
  out.count = 0;
  BitWindow bits = parser.window();
  readResidualBlock(bits, nC, maxNumCoeff, [&out](int position, std::int32_t level) {
    out.level[out.count] = level;
    out.position[out.count++] = static_cast<std::uint8_t>(position);
  });
  parser.window() = bits;
}

ISTREL_LEVEL_END
}  // namespace H264
