// Drives the exported functions exactly as a host does.
#pragma once

#include <cstdint>
#include <vector>

#include "common/picture_view.h"
#include "istrel/istrel.h"

namespace H264 {
struct SeqParameterSet;
}

namespace istrel::tools {

class HostSession {
 public:
  // Creates and opens a handle with the host's fields set.
  HostSession(bool is422, int width, int height);
  ~HostSession();

  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  // Each call hands the library a fresh buffer of exactly the frame's size,
  // since decoding rewrites it. Both return the exported status.
  int readAspectRatio(const std::uint8_t* frame, std::size_t size);
  int decode(const std::uint8_t* frame, std::size_t size, bool fullResolution);

  const AVCIntraInfo& handle() const { return *handle_; }
  const std::vector<char>& v210() const { return output_; }
  std::size_t v210FrameBytes(bool fullResolution) const;
  // The decoded picture behind the handle's planes, cropped as `sps` says.
  PictureView view(const H264::SeqParameterSet& sps) const;
  unsigned errorFlags() const;

 private:
  AVCIntraInfo* handle_;
  std::vector<std::uint8_t> input_;
  std::vector<char> output_;
};

}  // namespace istrel::tools
