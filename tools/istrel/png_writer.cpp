#include "istrel/png_writer.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace istrel::tools {
namespace {

std::uint8_t toByte(double v) {
  return static_cast<std::uint8_t>(std::clamp(v * 255.0 + 0.5, 0.0, 255.0));
}

double sampleAt(const PictureView& view, int p, int x, int y) {
  int px = std::min(x * view.width[p] / view.width[0], view.width[p] - 1);
  int py = std::min(y * view.height[p] / view.height[0], view.height[p] - 1);
  return view.plane[p][py * view.step * view.stride[p] + px * view.step];
}

// Rec. 709 YCbCr (limited range) to R'G'B'.
std::vector<std::uint8_t> rgbRow(const PictureView& view, int y) {
  std::vector<std::uint8_t> row(static_cast<std::size_t>(view.width[0]) * 3);
  double lumaScale = 1 << (view.bitDepth[0] - 8);
  double chromaScale = 1 << (view.bitDepth[1] - 8);
  for (int x = 0; x < view.width[0]; ++x) {
    double luma = (sampleAt(view, 0, x, y) / lumaScale - 16) / 219;
    double cb = (sampleAt(view, 1, x, y) / chromaScale - 128) / 224;
    double cr = (sampleAt(view, 2, x, y) / chromaScale - 128) / 224;
    row[3 * x] = toByte(luma + 1.5748 * cr);
    row[3 * x + 1] = toByte(luma - 0.1873 * cb - 0.4681 * cr);
    row[3 * x + 2] = toByte(luma + 1.8556 * cb);
  }
  return row;
}

// libpng reports errors by longjmp: nothing here owns a resource.
bool encodePng(std::FILE* out, int width, int height, const std::uint8_t* rgb) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, out);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    png_write_row(png, rgb + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

void writePng(const std::string& path, const PictureView& view) {
  // Everything with a destructor is built before libpng may jump back.
  std::vector<std::uint8_t> image;
  for (int y = 0; y < view.height[0]; ++y) {
    std::vector<std::uint8_t> row = rgbRow(view, y);
    image.insert(image.end(), row.begin(), row.end());
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                       &std::fclose);
  if (!file) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
  std::FILE* out = file.get();
  if (!encodePng(out, view.width[0], view.height[0], image.data())) {
    throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace istrel::tools
