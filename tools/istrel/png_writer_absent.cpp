// writePng for builds without libpng (a cross build without the target's
// copy): the option stays, and says why it cannot be honoured.
#include <stdexcept>

#include "istrel/png_writer.h"

namespace istrel::tools {

void writePng(const std::string& path, const PictureView&) {
  throw std::runtime_error("cannot write " + path + ": this istrel was built without libpng");
}

}  // namespace istrel::tools
