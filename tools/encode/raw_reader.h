#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "encode/encode_options.h"
#include "encode/x264_library.h"

namespace encode {

// Reads raw planar frames (Y, Cb, Cr; one byte a sample at 8 bits, two bytes little-endian
// above) from a file or standard input into x264 pictures.
class RawReader {
 public:
  RawReader(int width, int height, Csp csp, int depth);
  ~RawReader();
  RawReader(const RawReader&) = delete;
  RawReader& operator=(const RawReader&) = delete;

  // Opens `path`, '-' for standard input; on failure sets `error`.
  bool open(const std::string& path, std::string& error);

  // Whole frames in the file; 0 when its size is unknown (a pipe).
  int framesInFile() const { return framesInFile_; }

  // Reads the next frame into the planes of `picture`, allocated by x264_picture_alloc for
  // this size and format. False at the end of the input, or after a partial frame or a read
  // error, which `ended` then describes.
  bool read(x264_picture_t& picture, std::string& ended);

 private:
  bool readPlane(const x264_picture_t& picture, int plane);

  int width_[3];
  int height_[3];
  int bytesPerSample_;
  std::int64_t frameBytes_ = 0;
  std::int64_t frameBytesRead_ = 0;
  int framesInFile_ = 0;
  std::FILE* file_ = nullptr;
  bool ownsFile_ = false;
  std::vector<unsigned char> row_;
};

}  // namespace encode
