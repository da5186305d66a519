// Drives the exported functions exactly as a host does.
#pragma once

#include <cstdint>
#include <vector>

#include "common/picture_view.h"
#include "core/h264_decoder.h"
#include "istrel/istrel.h"

namespace istrel::tools {

class HostSession {
 public:
  // Creates and opens a handle with the host's fields set.
  HostSession(bool is422, int width, int height);
  ~HostSession();

  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  // Closes the handle and opens it again for pictures of another format:
  // the new core knows no parameter sets until readAspectRatio.
  void reopen(bool is422, int width, int height);

  // Each call hands the library a fresh buffer of exactly the frame's size,
  // since decoding rewrites it. Both return the exported status.
  int readAspectRatio(const std::uint8_t* frame, std::size_t size);
  int decode(const std::uint8_t* frame, std::size_t size, bool fullResolution);

  const AVCIntraInfo& handle() const { return *handle_; }
  const H264::H264Decoder& core() const { return *handle_->decoder; }
  const std::vector<char>& v210() const { return output_; }
  std::size_t v210FrameBytes(bool fullResolution) const;
  // The decoded picture behind the handle's planes, shown as `display` says.
  PictureView view(const DisplayInfo& display) const { return pictureView(core(), display); }

 private:
  void setFields(bool is422, int width, int height);

  AVCIntraInfo* handle_;
  std::vector<std::uint8_t> input_;
  std::vector<char> output_;
};

}  // namespace istrel::tools
