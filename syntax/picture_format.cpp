#include "syntax/picture_format.h"

#include "syntax/parameter_sets.h"

namespace H264 {

PictureFormat PictureFormat::of(const SeqParameterSet& sps) {
  PictureFormat f;
  f.widthInMbs = sps.pic_width_in_mbs_minus1 + 1;
  f.heightInMbs = (2 - sps.frame_mbs_only_flag) * (sps.pic_height_in_map_units_minus1 + 1);
  f.sizeInMbs = f.widthInMbs * f.heightInMbs;
  f.chromaFormat = sps.chroma_format_idc;
  f.mbWidthC = sps.chroma_format_idc == 3 ? 16 : 8;
  f.mbHeightC = sps.chroma_format_idc >= 2 ? 16 : 8;
  f.lumaWidth = f.widthInMbs * 16;
  f.lumaHeight = f.heightInMbs * 16;
  f.chromaWidth = f.widthInMbs * f.mbWidthC;
  f.chromaHeight = f.heightInMbs * f.mbHeightC;
  f.bitDepthLuma = sps.BitDepthY;
  f.bitDepthChroma = sps.BitDepthC;
  return f;
}

bool PictureFormat::sameLayout(const PictureFormat& o) const {
  return lumaWidth == o.lumaWidth && lumaHeight == o.lumaHeight && chromaWidth == o.chromaWidth &&
         chromaHeight == o.chromaHeight && bitDepthLuma == o.bitDepthLuma &&
         bitDepthChroma == o.bitDepthChroma;
}

std::uint32_t croppedWidth(const SeqParameterSet& sps) {
  return (sps.pic_width_in_mbs_minus1 + 1) * 16 -
         sps.CropUnitX() * (sps.frame_crop_left_offset + sps.frame_crop_right_offset);
}

std::uint32_t croppedHeight(const SeqParameterSet& sps) {
  return PictureFormat::of(sps).lumaHeight -
         sps.CropUnitY() * (sps.frame_crop_top_offset + sps.frame_crop_bottom_offset);
}

}  // namespace H264
