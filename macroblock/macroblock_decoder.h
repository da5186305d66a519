// Parses and reconstructs the macroblocks of one slice. A fresh object per
// slice means every macroblock outside the slice is simply unknown to it,
// which is exactly "not available" (clause 6.4.8). This class is what the
// slice loop drives, once per macroblock, and the state of the slice and of
// the current macroblock; MacroblockLayer (macroblock_layer.h) parses and
// reconstructs over the neighbour context of each concrete decoder.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/compiler.h"
#include "base/decode_mode.h"
#include "base/level.h"
#include "base/picture.h"
#include "dsp/kernels.h"
#include "macroblock/block_reconstructor.h"
#include "macroblock/cabac_macroblock_reader.h"
#include "macroblock/cavlc_macroblock_reader.h"
#include "macroblock/macroblock_record.h"
#include "macroblock/slice_statistics.h"
#include "recon/block_layout.h"
#include "recon/deblocking_records.h"
#include "recon/intra_prediction.h"
#include "syntax/slice_header.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

class StreamParser;

template <typename T>
class MacroblockDecoder {
 public:
  MacroblockDecoder(const ActiveParameters& active, const SliceHeader& header, StreamParser& parser,
                    Picture<T>& picture, DecodeMode mode, const Kernels<T>& kernels);
  virtual ~MacroblockDecoder() = default;

  MacroblockDecoder(const MacroblockDecoder&) = delete;
  MacroblockDecoder& operator=(const MacroblockDecoder&) = delete;

  // One macroblock_layer() of a CAVLC or a CABAC slice, parsed and
  // reconstructed; a slice uses one of them throughout.
  virtual void DecodeMacroblockCavlc() = 0;
  virtual void DecodeMacroblockCabac() = 0;
  // Steps to the next macroblock; true when the picture is complete.
  virtual bool NextMacroblock() = 0;

  // CABAC slices: starts the arithmetic decoder on the byte-aligned slice
  // data at the parser's position; end_of_slice_flag after a macroblock.
  void InitCabacSlice() { cabac_.start(header_.SliceQPY); }
  bool DecodeEndOfSliceFlag() { return cabac_.endOfSlice(); }

  // Profiling aid: with reconstruction off the macroblocks are parsed and
  // their coefficients scaled, but no sample is predicted or written.
  void setReconstruction(bool on) { blocks_.setEnabled(on); }
  // Conformant decoding: each macroblock decoded whole is recorded for the
  // deblocking filter.
  void setFilterRecorder(const FilterRecorder& recorder) { filterRecorder_ = recorder; }

  std::uint32_t CurrMbAddr() const { return currMbAddr_; }
  // What the macroblocks decoded so far were.
  const SliceStatistics& statistics() const { return statistics_; }

 protected:
  // Where the current macroblock lies and which neighbours it has; set by the
  // concrete class before the macroblock is parsed.
  struct Placement {
    T* samples[3];             // first sample of the macroblock per plane
    std::ptrdiff_t stride[3];  // row stride per plane, in samples
    MacroblockRecord* current;
    const MacroblockRecord* A;  // left, null when not available
    const MacroblockRecord* B;  // above
    const MacroblockRecord* C;  // above right
    const MacroblockRecord* D;  // above left
  };

  void setFieldMacroblock(bool field);

  T* blockAt(int plane, int x, int y) const {
    return at_.samples[plane] + y * at_.stride[plane] + x;
  }

  const ActiveParameters& active_;
  const SliceHeader& header_;
  Picture<T>& picture_;
  Placement at_{};
  std::uint32_t currMbAddr_ = 0;
  std::uint32_t firstMbAddr_ = 0;
  std::uint32_t widthInMbs_;
  std::vector<MacroblockRecord> ring_;  // neighbour records, allocated once per slice
  CavlcMacroblockReader cavlc_;
  CabacMacroblockReader cabac_;
  bool fieldMacroblock_ = false;
  FilterRecorder filterRecorder_;

  // The mode a neighbouring block offers; an Intra_4x4 neighbour of an 8x8
  // block offers block `offset4x4` of its 8x8 quadrant.
  int neighbourPredMode(NeighbourBlock n, bool eightByEight, int offset4x4) const;
  void updateQp(std::int32_t mb_qp_delta);
  void countMacroblock();
  // `count` blocks from blockIndex on whose pattern bit says they carry no coefficients.
  ISTREL_FORCE_INLINE void markUncoded(int plane, int blockIndex, int count = 1) {
    MacroblockRecord& mb = *at_.current;
    std::fill_n(&mb.totalCoeff[plane][blockIndex], count, std::uint8_t{0});
    std::uint8_t* flags = plane == 0 ? mb.codedBlockFlagLuma : mb.codedBlockFlagChromaAc[plane - 1];
    std::fill_n(flags + blockIndex, count, std::uint8_t{0});
  }
  void setupScaling();

  // Per slice.
  DecodeMode mode_;
  int bitDepth_[3];
  BlockReconstructor<T> blocks_;
  const MacroblockRecord* previous_ = nullptr;  // in decoding order, for mb_qp_delta
  SliceStatistics statistics_;
  int qpBdOffsetY_;
  int qpBdOffsetC_;
  int chromaArrayType_;
  int mbWidthC_;
  int mbHeightC_;
  bool transformBypassAllowed_;
  const std::uint8_t* scan4x4_;
  const std::uint8_t* scan8x8_;
  const std::int32_t (*levelScale4x4_[3])[16];
  const std::int32_t (*levelScale8x8_[3])[64];
  std::int32_t levelScale4x4Storage_[3][6][16];
  std::int32_t levelScale8x8Storage_[3][6][64];

  // Per macroblock.
  std::int32_t qpY_;
  int qp_[3];  // QP'Y, QP'Cb, QP'Cr
  std::uint32_t mb_type_ = 0;
  bool transform_size_8x8_flag_ = false;
  int intra16x16PredMode_ = 0;
  int intraChromaPredMode_ = 0;
  int cbpLuma_ = 0;
  int cbpChroma_ = 0;
  std::int32_t dc_[16];
  std::int32_t chromaDc_[2][8];
};

ISTREL_LEVEL_END
}  // namespace H264
