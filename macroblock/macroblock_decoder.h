// Parses and reconstructs the macroblocks of one slice. A fresh object per
// slice means every macroblock outside the slice is simply unknown to it,
// which is exactly "not available" (clause 6.4.8).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/decode_mode.h"
#include "base/picture.h"
#include "dsp/kernels.h"
#include "macroblock/cabac_syntax.h"
#include "macroblock/macroblock_record.h"
#include "macroblock/macroblock_tables.h"
#include "macroblock/slice_statistics.h"
#include "recon/deblocking_records.h"
#include "recon/intra_prediction.h"
#include "syntax/slice_header.h"

namespace H264 {

class StreamParser;

// A neighbouring block location (clause 6.4.12): the macroblock holding it,
// or null when it is not available, and the block index inside it.
struct NeighbourBlock {
  const MacroblockRecord* mb;
  int blockIndex;
};

template <typename T>
class MacroblockDecoder {
 public:
  MacroblockDecoder(const ActiveParameters& active, const SliceHeader& header, StreamParser& parser,
                    Picture<T>& picture, DecodeMode mode, const Kernels<T>& kernels);
  virtual ~MacroblockDecoder() = default;

  MacroblockDecoder(const MacroblockDecoder&) = delete;
  MacroblockDecoder& operator=(const MacroblockDecoder&) = delete;

  // One macroblock_layer(), parsed and reconstructed.
  virtual void DecodeMacroblock() = 0;
  // Steps to the next macroblock; true when the picture is complete.
  virtual bool NextMacroblock() = 0;

  // CABAC slices: starts the arithmetic decoder on the byte-aligned slice
  // data at the parser's position; end_of_slice_flag after a macroblock.
  void startCabac();
  bool DecodeEndOfSliceFlag() { return cabac_.endOfSlice(); }

  // Profiling aid: with reconstruction off the macroblocks are parsed and
  // their coefficients scaled, but no sample is predicted or written.
  void setReconstruction(bool on) { reconstruct_ = on; }
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

  // Block neighbours of a location (xN, yN) relative to the macroblock, in
  // luma samples (chroma: chroma samples of a MbWidthC x MbHeightC block).
  virtual NeighbourBlock lumaNeighbour(int xN, int yN) const = 0;
  virtual NeighbourBlock chromaNeighbour(int xN, int yN) const = 0;
  // Samples around a block of plane p at (x, y) inside the macroblock.
  virtual void gatherEdges(int plane, int x, int y, int width, int height, bool topRightUsable,
                           IntraEdges& edges) const = 0;

  // A neighbouring block location of the luma (or chroma) blocks: inside
  // the current macroblock at once, elsewhere by the concrete class.
  NeighbourBlock blockNeighbour(bool chroma, int xN, int yN) const {
    const int width = chroma ? mbWidthC_ : 16, height = chroma ? mbHeightC_ : 16;
    if (xN >= 0 && yN >= 0 && xN < width && yN < height) {
      return {at_.current, blockIndexAt(xN, yN)};
    }
    return chroma ? chromaNeighbour(xN, yN) : lumaNeighbour(xN, yN);
  }

  // The macroblock layer once Placement is set.
  void decodeMacroblockLayer();

  void setFieldMacroblock(bool field);
  bool readMbFieldDecodingFlag(int ctxInc);

  T* blockAt(int plane, int x, int y) const {
    return at_.samples[plane] + y * at_.stride[plane] + x;
  }

  const ActiveParameters& active_;
  const SliceHeader& header_;
  StreamParser& parser_;
  Picture<T>& picture_;
  Placement at_{};
  std::uint32_t currMbAddr_ = 0;
  std::uint32_t firstMbAddr_ = 0;
  std::uint32_t widthInMbs_;
  std::vector<MacroblockRecord> ring_;  // neighbour records, allocated once per slice
  DecodeMode mode_;
  const Kernels<T>& kernels_;
  bool fieldMacroblock_ = false;
  bool reconstruct_ = true;
  FilterRecorder filterRecorder_;

 private:
  // Syntax elements by the slice's entropy coder.
  std::uint32_t readMbType();
  bool readTransformSize8x8Flag();
  void readIntraPredModes();
  void readIntraNxNModes(bool eightByEight);
  int readIntraChromaPredMode();
  void readCodedBlockPattern();
  int readCodedBlockPatternCabac();
  std::int32_t readMbQpDelta();
  int neighbourCondition(const MacroblockRecord* n, bool (*term)(const MacroblockRecord&)) const;
  void updateQp(std::int32_t mb_qp_delta);
  void countMacroblock();
  void decodePcm();
  void decodeResidual();
  void decodeLumaLike(int plane);
  void decodeIntra16x16(int plane);
  void decodeIntra4x4(int plane);
  void decodeIntra8x8(int plane);
  void decodeChroma();
  void decodeChromaComponent(int plane);
  template <typename Place>
  int readBlock(BlockKind kind, int plane, int blockIndex, int maxNumCoeff, Place place);
  void readCabacBlock(BlockKind kind, int plane, int blockIndex, int maxNumCoeff,
                      CoefficientLevels& out);
  int codedBlockFlagInc(BlockKind kind, int plane, int blockIndex) const;
  void storeCodedBlockFlag(BlockKind kind, int plane, int blockIndex, std::uint8_t flag);
  void markUncoded(int plane, int blockIndex);
  int read4x4Block(BlockKind kind, int plane, int blockIndex, std::int32_t* coeff);
  int predictTotalCoeff(int plane, int blockIndex, bool chroma) const;
  // The mode a neighbouring block offers; an Intra_4x4 neighbour of an 8x8
  // block offers block `offset4x4` of its 8x8 quadrant.
  int neighbourPredMode(NeighbourBlock n, bool eightByEight, int offset4x4) const;
  bool topRightAvailable(int x, int y, int size) const;
  void predictBlock(int plane, int x, int y, int size, int mode);
  void predictChroma(int plane);
  void finishBlock(int plane, int x, int y, int size, std::int32_t* coeff, bool coded,
                   int direction);
  void stashResidual(int x, int y, int width);
  void setupScaling();

  // Per slice.
  bool entropyCabac_;
  CabacSyntax cabac_;
  const MacroblockRecord* previous_ = nullptr;  // in decoding order, for mb_qp_delta
  SliceStatistics statistics_;
  int bitDepth_[3];
  int maxValue_[3];
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
  bool bypass_ = false;
  std::uint32_t mb_type_ = 0;
  bool transform_size_8x8_flag_ = false;
  int intra16x16PredMode_ = 0;
  int intraChromaPredMode_ = 0;
  int cbpLuma_ = 0;
  int cbpChroma_ = 0;
  alignas(16) std::int32_t pred_[16 * 16];
  alignas(16) std::int32_t coeff_[64];          // one block
  alignas(16) std::int32_t residual_[16 * 16];  // a whole plane's residual, for bypass
  std::int32_t dc_[16];
  std::int32_t chromaDc_[2][8];
};

}  // namespace H264
