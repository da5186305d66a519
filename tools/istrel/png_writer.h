#pragma once

#include <string>

#include "common/picture_view.h"

namespace istrel::tools {

// Writes the picture as an 8-bit RGB PNG (Rec. 709, limited range) for a
// person to look at. Throws std::runtime_error on failure.
void writePng(const std::string& path, const PictureView& view);

}  // namespace istrel::tools
