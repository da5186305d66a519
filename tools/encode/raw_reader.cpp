#include "encode/raw_reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace encode {

RawReader::RawReader(int width, int height, Csp csp, int depth)
    : bytesPerSample_(depth > 8 ? 2 : 1) {
  const int chromaWidth = csp == Csp::k444 ? width : width / 2;
  const int chromaHeight = csp == Csp::k420 ? height / 2 : height;
  for (int plane = 0; plane < 3; ++plane) {
    width_[plane] = plane == 0 ? width : chromaWidth;
    height_[plane] = plane == 0 ? height : chromaHeight;
    frameBytes_ += std::int64_t{width_[plane]} * height_[plane] * bytesPerSample_;
  }
  row_.resize(static_cast<std::size_t>(width) * bytesPerSample_);
}

RawReader::~RawReader() {
  if (ownsFile_) std::fclose(file_);
}

bool RawReader::open(const std::string& path, std::string& error) {
  if (path == "-") {
    file_ = stdin;
    return true;
  }
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) {
    error = "cannot open input '" + path + "': " + std::strerror(errno);
    return false;
  }
  ownsFile_ = true;
  struct stat info {};
  if (fstat(fileno(file_), &info) == 0 && S_ISREG(info.st_mode)) {
    framesInFile_ = static_cast<int>(info.st_size / frameBytes_);
  }
  return true;
}

bool RawReader::readPlane(const x264_picture_t& picture, int plane) {
  const std::size_t rowBytes = static_cast<std::size_t>(width_[plane]) * bytesPerSample_;
  for (int y = 0; y < height_[plane]; ++y) {
    const std::size_t got = std::fread(row_.data(), 1, rowBytes, file_);
    frameBytesRead_ += got;
    if (got != rowBytes) return false;
    std::uint8_t* out = picture.img.plane[plane] + std::ptrdiff_t{y} * picture.img.i_stride[plane];
    if (bytesPerSample_ == 1) {
      std::memcpy(out, row_.data(), rowBytes);
      continue;
    }
    // x264 takes samples above 8 bits as 16-bit values in the machine's order.
    auto* samples = reinterpret_cast<std::uint16_t*>(out);
    for (int x = 0; x < width_[plane]; ++x) {
      samples[x] = static_cast<std::uint16_t>(row_[2 * x] | row_[2 * x + 1] << 8);
    }
  }
  return true;
}

bool RawReader::read(x264_picture_t& picture, std::string& ended) {
  frameBytesRead_ = 0;
  for (int plane = 0; plane < 3; ++plane) {
    if (!readPlane(picture, plane)) {
      if (std::ferror(file_)) {
        ended = std::string("reading the input failed: ") + std::strerror(errno);
      } else if (frameBytesRead_ != 0) {
        ended = "the input ends inside a frame; that frame is left out";
      }
      return false;
    }
  }
  return true;
}

}  // namespace encode
