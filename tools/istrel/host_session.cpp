#include "istrel/host_session.h"

#include <new>

#include "api/v210_converter.h"

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
  return H264::V210Geometry::of(handle_->width, handle_->height, fullResolution).bytes();
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
