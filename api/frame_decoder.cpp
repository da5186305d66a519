#include "api/frame_decoder.h"

#include <zonmediatypes/pixel_format.h>

#include "api/frame_driver.h"
#include "syntax/parameters_decoder.h"

namespace H264 {

std::size_t v210Bytes(const V210Target& target) {
  const int shift = target.fullResolution ? 0 : 1;
  const std::uint64_t rowBytes = zonmediatypes::UncompressedPixelFormatRowBytes(
      zonmediatypes::kPixelFormat_V210_422_10u_709, target.width >> shift);
  return static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(target.height >> shift);
}

FrameDecoder::FrameDecoder(DecodeMode mode, KernelLevel level) : H264Decoder(mode, level) {}

bool FrameDecoder::prime(unsigned char* data, int size) {
  if (mode() == DecodeMode::kConformant) return readEveryParameterSet(data, size).sequence > 0;
  if (!readParameterSets(data, size)) return false;
  allocatePicture();
  pictureSpsId_ = 0;
  return true;
}

void FrameDecoder::decodeFrame(unsigned char* data, int size) {
  report_ = FrameReport{};
  if (mode() == DecodeMode::kConformant) return decodeConformant(data, size);
  SliceScan scan = scanSlices(data, size, kSlicesPerFrame);
  readSliceHeaders(*this, data, scan.items);
  decodeSlices(*this, data, scan.items);
  report_.slicesDecoded = scan.items.size();
  report_.slicesIgnored = static_cast<std::size_t>(scan.ignored);
}

// The picture follows the first slice that names usable parameter sets.
void FrameDecoder::decodeConformant(unsigned char* data, int size) {
  report_.malformedParameterSets = readEveryParameterSet(data, size).malformed;
  SliceScan scan = scanSlices(data, size, kUnlimitedSlices);
  readSliceHeaders(*this, data, scan.items);
  const WorkItem* first = nullptr;
  for (const WorkItem& item : scan.items) {
    if (item.slice && !first) first = &item;
  }
  if (!first) {
    report_.noPicture = !scan.items.empty();
    decodeSlices(*this, data, scan.items);  // records each slice's failure
    return;
  }
  const SeqParameterSet& sps = *first->slice->active.sps;
  allocatePictureFor(sps);
  pictureSpsId_ = sps.seq_parameter_set_id;
  decodeSlices(*this, data, scan.items);
  deblockPicture(*this);
  report_.slicesDecoded = scan.items.size();
}

const SeqParameterSet* FrameDecoder::pictureSps() const {
  return picture().hasStorage() ? parameters().sps(pictureSpsId_) : nullptr;
}

V210Target FrameDecoder::streamTarget(bool fullResolution) const {
  const PictureFormat& f = pictureFormat();
  const SeqParameterSet* sps = pictureSps();
  return {static_cast<int>(f.lumaWidth), static_cast<int>(sps ? croppedHeight(*sps) : f.lumaHeight),
          f.chromaHeight == f.lumaHeight, fullResolution};
}

void FrameDecoder::convertToV210(char* output, const V210Target& target) const {
  const PictureFormat& f = pictureFormat();
  V210Job job{};
  job.output = output;
  for (int p = 0; p < 3; ++p) job.planes[p] = picture().plane(p);
  job.height = target.height;
  job.width = target.width;
  job.stripes = target.fullResolution ? 6 : 3;
  job.is422 = target.is422;
  job.fullResolution = target.fullResolution;
  job.bitDepthLuma = static_cast<int>(f.bitDepthLuma);
  job.bitDepthChroma = static_cast<int>(f.bitDepthChroma);
  job.kernels = &kernels();
  H264::convertToV210(job);
}

}  // namespace H264
