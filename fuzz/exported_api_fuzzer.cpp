// Drives the six exported functions as a host does, with host fields chosen
// by the first two input bytes and the rest of the input as the frame.
//
// Input: byte 0 bit 0 is422, bits 1-3 the width rule, bits 4-6 the height
// rule, bit 7 the preview first; byte 1 the operand of those rules; then the
// Annex B frame (parameter sets and slices).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "api/v210_converter.h"
#include "core/h264_decoder.h"
#include "fuzz/fuzz_support.h"
#include "istrel/istrel.h"
#include "syntax/parameters_decoder.h"
#include "syntax/picture_format.h"

namespace {

using istrel::fuzz::ExactCopy;

// Pictures above this many luma samples are skipped: they only slow the run.
constexpr std::uint64_t kMaxLumaSamples = std::uint64_t{1} << 22;

// The coded size and cropped height AVCIReadAspectRatio will find (without a
// sequence parameter set 1920x1088, 1080 rows shown), read from a copy by a
// separate decoder so that the host fields can be chosen before the call, as
// a host does.
struct Probe {
  std::uint64_t width = 1920;
  std::uint64_t height = 1088;
  std::uint64_t croppedHeight = 1080;
};

Probe probe(const std::uint8_t* data, std::size_t size) {
  Probe result;
  ExactCopy copy(data, size);
  H264::H264Decoder decoder;
  try {
    decoder.readParameterSets(copy.data(), copy.intSize());
  } catch (...) {
  }
  if (const H264::SeqParameterSet* sps = decoder.parameters().sps(0)) {
    const H264::PictureFormat format = H264::PictureFormat::of(*sps);
    result = {format.lumaWidth, format.lumaHeight, H264::croppedHeight(*sps)};
  }
  return result;
}

int chooseWidth(unsigned rule, std::uint8_t operand, int coded) {
  static constexpr int kWidths[8] = {16, 64, 176, 720, 1280, 1440, 1920, 2048};
  switch (rule) {
    case 5:
      return kWidths[operand & 7];
    case 6:
      return operand & 1 ? coded + 16 : coded - 16;
    case 7:
      return 16 * (1 + operand % 120);
    default:
      return coded;
  }
}

int chooseHeight(unsigned rule, std::uint8_t operand, int coded, int cropped) {
  static constexpr int kHeights[8] = {0, 1, 2, 16, 100, 480, 720, 1080};
  switch (rule) {
    case 4:
      return coded - 2 * ((operand >> 3) & 15);
    case 5:
      return cropped;
    case 6:
      return kHeights[(operand >> 4) & 7];
    case 7:
      return coded + 16;
    default:
      return coded;
  }
}

void decodeInto(AVCIntraInfo* handle, const std::uint8_t* frame, std::size_t size,
                bool fullResolution) {
  ExactCopy copy(frame, size);
  std::size_t bytes = H264::V210Geometry::of(handle->width, handle->height, fullResolution).bytes();
  std::unique_ptr<char[]> output(new char[bytes]);
  AVCIDecodeFrame(nullptr, handle, copy.data(), copy.intSize(), output.get(), fullResolution);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > (1u << 24)) return 0;
  const std::uint8_t rules = data[0];
  const std::uint8_t operand = data[1];
  const std::uint8_t* frame = data + 2;
  const std::size_t frameSize = size - 2;

  const Probe found = probe(frame, frameSize);
  if (found.width * found.height > kMaxLumaSamples) return 0;
  const int codedWidth = static_cast<int>(found.width);
  const int codedHeight = static_cast<int>(found.height);
  const int croppedHeight = static_cast<int>(found.croppedHeight);

  AVCIntraInfo* handle = AVCINewTepDecoder();
  if (!handle) return 0;
  if (AVCIFileOpen(handle)) {
    handle->is422 = rules & 1;
    handle->width = chooseWidth((rules >> 1) & 7, operand, codedWidth);
    handle->height = chooseHeight((rules >> 4) & 7, operand, codedHeight, croppedHeight);

    ExactCopy parameterCopy(frame, frameSize);
    AVCIReadAspectRatio(handle, parameterCopy.data(), parameterCopy.intSize());

    bool previewFirst = rules & 0x80;
    decodeInto(handle, frame, frameSize, !previewFirst);
    decodeInto(handle, frame, frameSize, previewFirst);
  }
  AVCIFileClose(handle);
  AVCIntraDispose(handle);
  return 0;
}
