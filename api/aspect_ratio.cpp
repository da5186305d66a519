#include "api/aspect_ratio.h"

#include "api/frame_driver.h"
#include "core/h264_decoder.h"
#include "syntax/parameters_decoder.h"

namespace H264 {
namespace {

// Table E-1, aspect_ratio_idc 1 to 13.
constexpr SampleAspectRatio kTableE1[13] = {{1, 1},   {12, 11}, {10, 11}, {16, 11}, {40, 33},
                                            {24, 11}, {20, 11}, {32, 11}, {80, 33}, {18, 11},
                                            {15, 11}, {64, 33}, {160, 99}};
constexpr int kExtendedSar = 255;

}  // namespace

SampleAspectRatio aspectRatioOf(const VuiParameters* vui, bool is422) {
  int idc = vui && vui->aspect_ratio_info_present_flag ? vui->aspect_ratio_idc : 0;
  if (idc >= 1 && idc <= 13) return kTableE1[idc - 1];
  if (idc == kExtendedSar) return {vui->sar_width, vui->sar_height};
  return is422 ? SampleAspectRatio{1, 1} : SampleAspectRatio{4, 3};
}

void readAspectRatio(AVCIntraInfo* handle, unsigned char* data, int size) {
  H264Decoder& core = *handle->decoder;
  if (!FrameDriver(core).prime(data, size))
    return;  // fails unless sequence parameter set 0 is known
  const SeqParameterSet& sps = *core.parameters().sps(0);
  SampleAspectRatio sar = aspectRatioOf(sps.vui.get(), handle->is422);
  handle->sarWidth = sar.width;
  handle->sarHeight = sar.height;
  handle->parametersRead = 1;
}

}  // namespace H264
