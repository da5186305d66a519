// Picture dimensions derived from a sequence parameter set.
#pragma once

#include <cstdint>

namespace H264 {

struct SeqParameterSet;

struct PictureFormat {
  std::uint32_t lumaHeight = 0;    // FrameHeightInMbs * 16
  std::uint32_t lumaWidth = 0;     // PicWidthInMbs * 16
  std::uint32_t chromaHeight = 0;  // FrameHeightInMbs * MbHeightC
  std::uint32_t chromaWidth = 0;   // PicWidthInMbs * MbWidthC
  std::uint32_t heightInMbs = 0;   // FrameHeightInMbs
  std::uint32_t widthInMbs = 0;    // PicWidthInMbs
  std::uint32_t sizeInMbs = 0;
  std::uint32_t mbWidthC = 8;
  std::uint32_t mbHeightC = 8;
  std::uint32_t chromaFormat = 0;  // chroma_format_idc
  std::uint32_t bitDepthLuma = 8;
  std::uint32_t bitDepthChroma = 8;

  // The format a sequence parameter set describes. A monochrome stream keeps
  // 4:2:0-sized chroma planes, which stay at their neutral value.
  static PictureFormat of(const SeqParameterSet& sps);

  // Same planes and sample depths: pictures of one format can share storage.
  bool sameLayout(const PictureFormat& other) const;
};

// The size of the frame cropping window (the displayed picture), in luma samples.
std::uint32_t croppedWidth(const SeqParameterSet& sps);
std::uint32_t croppedHeight(const SeqParameterSet& sps);

}  // namespace H264
