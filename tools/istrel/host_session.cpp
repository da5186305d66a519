#include "istrel/host_session.h"

#include <zonmediatypes/pixel_format.h>

#include <new>

#include "core/h264_decoder.h"
#include "syntax/parameter_sets.h"

namespace istrel::tools {

HostSession::HostSession(bool is422, int width, int height) : handle_(AVCINewTepDecoder()) {
  if (!handle_ || AVCIFileOpen(handle_) != 1) throw std::bad_alloc();
  handle_->is422 = is422;
  handle_->width = width;
  handle_->height = height;
  output_.resize(v210FrameBytes(true));
}

HostSession::~HostSession() {
  AVCIFileClose(handle_);
  AVCIntraDispose(handle_);
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

PictureView HostSession::view(const H264::SeqParameterSet& sps) const {
  const std::uint16_t* planes[3];
  for (int p = 0; p < 3; ++p)
    planes[p] = reinterpret_cast<const std::uint16_t*>(handle_->planes[p]);
  const H264::PictureFormat& f = handle_->decoder->pictureFormat();
  const std::ptrdiff_t strides[3] = {f.lumaWidth, f.chromaWidth, f.chromaWidth};
  return displayWindow(sps, planes, strides);
}

unsigned HostSession::errorFlags() const { return handle_->decoder->errorFlags(); }

}  // namespace istrel::tools
