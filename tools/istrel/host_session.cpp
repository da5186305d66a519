#include "istrel/host_session.h"

#include <zonmediatypes/pixel_format.h>

#include <new>

namespace istrel::tools {

HostSession::HostSession(bool is422, int width, int height) : handle_(AVCINewTepDecoder()) {
  if (!handle_ || AVCIFileOpen(handle_) != 1) {
    AVCIntraDispose(handle_);
    throw std::bad_alloc();
  }
  setFields(is422, width, height);
}

HostSession::~HostSession() {
  AVCIFileClose(handle_);
  AVCIntraDispose(handle_);
}

void HostSession::setFields(bool is422, int width, int height) {
  handle_->is422 = is422;
  handle_->width = width;
  handle_->height = height;
  output_.resize(v210FrameBytes(true));
}

void HostSession::reopen(bool is422, int width, int height) {
  AVCIFileClose(handle_);
  if (AVCIFileOpen(handle_) != 1) throw std::bad_alloc();
  setFields(is422, width, height);
}

std::size_t HostSession::v210FrameBytes(bool fullResolution) const {
  int shift = fullResolution ? 0 : 1;
  std::uint64_t rowBytes = zonmediatypes::UncompressedPixelFormatRowBytes(
      zonmediatypes::kPixelFormat_V210_422_10u_709, handle_->width >> shift);
  return static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(handle_->height >> shift);
}

int HostSession::readAspectRatio(const std::uint8_t* frame, std::size_t size) {
  input_.assign(frame, frame + size);
  return AVCIReadAspectRatio(handle_, input_.data(), static_cast<int>(input_.size()));
}

int HostSession::decode(const std::uint8_t* frame, std::size_t size, bool fullResolution) {
  input_.assign(frame, frame + size);
  return AVCIDecodeFrame(nullptr, handle_, input_.data(), static_cast<int>(input_.size()),
                         output_.data(), fullResolution);
}

}  // namespace istrel::tools
