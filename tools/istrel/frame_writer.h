// Output files of `istrel decode`, chosen by extension.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/picture_view.h"

namespace istrel::tools {

class FrameWriter {
 public:
  explicit FrameWriter(const std::string& path);
  virtual ~FrameWriter();
  // `v210` holds the frame as the exported functions deliver it.
  virtual void write(const PictureView& view, const std::vector<char>& v210) = 0;
  // True when write() needs the v210 rows.
  virtual bool wantsV210() const { return false; }

 protected:
  void put(const void* data, std::size_t size);

 private:
  std::string path_;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
};

struct FrameRate {
  unsigned num = 25;
  unsigned den = 1;
};

// .y4m, .yuv or .v210; throws std::runtime_error for anything else or a
// file that cannot be created.
std::unique_ptr<FrameWriter> openFrameWriter(const std::string& path, FrameRate rate);

}  // namespace istrel::tools
