// Drives the six exported functions as a host does, with host fields chosen
// by the first two input bytes and the rest of the input as the frame. Each
// buffer handed over is a heap copy of exactly its size: a read past its end
// is a heap overflow the address sanitizer reports.
//
// Input: byte 0 bit 0 is422 the other way round from the stream's chroma
// format, bits 1-3 the width rule, bits 4-6 the height rule (rules 0-3 take
// the coded size), bit 7 the preview first; byte 1 the operand of those
// rules; then the Annex B frame (parameter sets and slices). Two zero bytes
// before a stream make the host fields it codes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "api/v210_converter.h"
#include "core/h264_decoder.h"
#include "istrel/istrel.h"
#include "syntax/parameters_decoder.h"
#include "syntax/picture_format.h"

namespace {

// Pictures above this many luma samples are skipped: they only slow the run.
constexpr std::uint64_t kMaxLumaSamples = std::uint64_t{1} << 22;

// What a host would read from the stream (without a sequence parameter set 0:
// 1920x1088, 1080 rows shown, 4:2:0), read from a copy by a separate decoder
// so that the host fields can be chosen before the calls, as a host does.
struct Probe {
  std::uint64_t width = 1920, height = 1088, croppedHeight = 1080;
  bool is422 = false;
};

Probe probe(const std::uint8_t* data, std::size_t size) {
  Probe result;
  std::vector<unsigned char> copy(data, data + size);
  H264::H264Decoder decoder;
  try {
    decoder.readParameterSets(copy.data(), static_cast<int>(size));
  } catch (...) {
  }
  if (const H264::SeqParameterSet* sps = decoder.parameters().sps(0)) {
    const H264::PictureFormat format = H264::PictureFormat::of(*sps);
    result = {format.lumaWidth, format.lumaHeight, H264::croppedHeight(*sps),
              sps->chroma_format_idc == 2};
  }
  return result;
}

void decodeInto(AVCIntraInfo* handle, const std::uint8_t* frame, std::size_t size,
                bool fullResolution) {
  std::vector<unsigned char> copy(frame, frame + size);
  std::size_t bytes = H264::V210Geometry::of(handle->width, handle->height, fullResolution).bytes();
  std::unique_ptr<char[]> output(new char[bytes]);
  AVCIDecodeFrame(nullptr, handle, copy.data(), static_cast<int>(size), output.get(),
                  fullResolution);
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
  static constexpr int kWidths[8] = {16, 64, 176, 720, 1280, 1440, 1920, 2048};
  static constexpr int kHeights[8] = {0, 1, 2, 16, 100, 480, 720, 1080};
  const int w = static_cast<int>(found.width), h = static_cast<int>(found.height);
  const int cropped = static_cast<int>(found.croppedHeight), shrunk = h - 2 * ((operand >> 3) & 15);
  const int widthRules[8] = {
      w, w, w, w, w, kWidths[operand & 7], w + (operand & 1 ? 16 : -16), 16 * (1 + operand % 120)};
  const int heightRules[8] = {h, h, h, h, shrunk, cropped, kHeights[(operand >> 4) & 7], h + 16};

  AVCIntraInfo* handle = AVCINewTepDecoder();
  if (!handle) return 0;
  if (AVCIFileOpen(handle)) {
    handle->is422 = found.is422 != static_cast<bool>(rules & 1);
    handle->width = widthRules[(rules >> 1) & 7];
    handle->height = heightRules[(rules >> 4) & 7];

    std::vector<unsigned char> parameterCopy(frame, frame + frameSize);
    AVCIReadAspectRatio(handle, parameterCopy.data(), static_cast<int>(frameSize));

    bool previewFirst = rules & 0x80;
    decodeInto(handle, frame, frameSize, !previewFirst);
    decodeInto(handle, frame, frameSize, previewFirst);
  }
  AVCIFileClose(handle);
  AVCIntraDispose(handle);
  return 0;
}
