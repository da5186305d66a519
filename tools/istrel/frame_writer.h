// Output files of `istrel decode`, chosen by extension.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/picture_view.h"

namespace istrel::tools {

// What a y4m header says beside the samples.
struct FrameTags {
  unsigned rateNum = 25;  // frames per second; 25 when the stream does not say
  unsigned rateDen = 1;
  unsigned sarWidth = 0;  // 0:0 when the stream does not say
  unsigned sarHeight = 0;
  char interlace = 'p';  // p progressive, t top field first, b bottom field first
};

class FrameWriter {
 public:
  explicit FrameWriter(const std::string& path);
  virtual ~FrameWriter();
  // `v210` holds the frame as the exported functions deliver it; the tags
  // of the first frame go into a y4m header.
  virtual void write(const PictureView& view, const std::vector<char>& v210,
                     const FrameTags& tags) = 0;
  // True when write() needs the v210 rows.
  virtual bool wantsV210() const { return false; }

 protected:
  void put(const void* data, std::size_t size);

 private:
  std::string path_;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
};

// True for a file name ending in .y4m, .yuv or .v210, in any case.
bool knownOutputFormat(const std::string& path);

// .y4m, .yuv or .v210 (in any case); throws std::runtime_error for anything else or a
// file that cannot be created.
std::unique_ptr<FrameWriter> openFrameWriter(const std::string& path);

}  // namespace istrel::tools
