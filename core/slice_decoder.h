// Decodes one slice: owns its header and the parameter sets it activates.
#pragma once

#include <cstdint>

#include "base/decode_mode.h"
#include "base/picture.h"
#include "dsp/kernels.h"
#include "macroblock/slice_statistics.h"
#include "recon/deblocking_records.h"
#include "syntax/slice_header.h"

namespace H264 {

class ParametersDecoder;
class StreamParser;

template <typename T>
class SliceDecoder {
 public:
  SliceDecoder(const ParametersDecoder& parameters, StreamParser& parser, Picture<T>& picture,
               DecodeMode mode, const Kernels<T>& kernels);
  virtual ~SliceDecoder() = default;

  SliceDecoder(const SliceDecoder&) = delete;
  SliceDecoder& operator=(const SliceDecoder&) = delete;

  // Reads the slice header and activates the slice's parameter sets. Throws
  // kSliceError for an unsupported slice.
  void parseSliceHeader(unsigned nal_ref_idc, unsigned nal_unit_type);
  // Takes a header read ahead and moves the parser to the slice data.
  void useParsedHeader(const ParsedSliceHeader& parsed);

  // Decodes the slice's macroblocks into the picture until the slice or the
  // picture ends. Returns the address after the last macroblock decoded;
  // throws kSliceError for malformed slice data (decoded macroblocks stay).
  // `statistics`, when given, receives what the decoded macroblocks were,
  // also when the slice fails part way.
  // Reaching `endMb` (in first_mb_in_slice units) before the slice ends is
  // an error: that is where another slice starts.
  std::uint32_t decodeSliceData(SliceStatistics* statistics = nullptr,
                                std::uint32_t endMb = kNoMacroblockLimit);

  void setSliceIndex(int index) { sliceIndex_ = index; }
  // Profiling aid: parse without predicting or writing samples.
  void setReconstruction(bool on) { reconstruct_ = on; }
  // Conformant mode: where the macroblocks leave what the deblocking filter needs.
  void setFilterRecorder(const FilterRecorder& recorder) { filterRecorder_ = recorder; }
  int sliceIndex() const { return sliceIndex_; }
  const SliceHeader& header() const { return header_; }
  const ActiveParameters& active() const { return active_; }

 private:
  SliceHeader header_;
  ActiveParameters active_;
  const ParametersDecoder& parameters_;
  StreamParser& parser_;
  Picture<T>& picture_;
  DecodeMode mode_;
  const Kernels<T>& kernels_;
  int sliceIndex_ = 0;
  bool reconstruct_ = true;
  FilterRecorder filterRecorder_;
};

extern template class SliceDecoder<unsigned short>;

}  // namespace H264
