// Decodes the data of one slice whose header was read ahead: creates the
// macroblock decoder that fits the picture's coding mode and runs the
// macroblock loop until the slice or the picture ends. Compiled once per
// instruction-set level (base/level.h); the decoder core picks the level's
// decodeSliceWork.
#pragma once

#include <cstdint>

#include "base/cpu.h"
#include "base/decode_mode.h"
#include "base/level.h"
#include "base/picture.h"
#include "dsp/kernels.h"
#include "macroblock/slice_statistics.h"
#include "recon/deblocking_records.h"
#include "syntax/slice_header.h"

namespace H264 {

// One slice's data to decode, as the decoder core hands it over.
struct SliceWork {
  const unsigned char* payload;  // the unescaped RBSP
  std::uint32_t length;
  const ParsedSliceHeader* slice;
  Picture<unsigned short>* picture;
  DecodeMode mode;
  const Kernels<unsigned short>* kernels;
  SliceStatistics* statistics;  // receives what was decoded, also on failure; may be null
  // Reaching this first_mb_in_slice is an error: another slice starts there.
  std::uint32_t endMb;
  bool reconstruct;         // off: parse without predicting or writing samples
  FilterRecorder recorder;  // conformant mode: what the deblocking filter needs
};

// Decodes `work`; throws kSliceError for malformed slice data (decoded
// macroblocks stay).
using SliceWorkDecoder = void (*)(const SliceWork& work);

// The slice decoding compiled for `level`, or for the best level below it
// that the build carries.
SliceWorkDecoder sliceDecodingFor(KernelLevel level);

ISTREL_LEVEL_BEGIN

template <typename T>
class MacroblockDecoder;
class StreamParser;

template <typename T>
class SliceDecoder {
 public:
  SliceDecoder(const ParsedSliceHeader& slice, StreamParser& parser, Picture<T>& picture,
               DecodeMode mode, const Kernels<T>& kernels);
  virtual ~SliceDecoder() = default;

  SliceDecoder(const SliceDecoder&) = delete;
  SliceDecoder& operator=(const SliceDecoder&) = delete;

  // Decodes the slice's macroblocks into the picture until the slice or the
  // picture ends. Returns the address after the last macroblock decoded.
  // `statistics`, when given, receives what the decoded macroblocks were,
  // also when the slice fails part way.
  std::uint32_t decodeSliceData(SliceStatistics* statistics, std::uint32_t endMb);

  // Profiling aid: parse without predicting or writing samples.
  void setReconstruction(bool on) { reconstruct_ = on; }
  // Conformant mode: where the macroblocks leave what the deblocking filter needs.
  void setFilterRecorder(const FilterRecorder& recorder) { filterRecorder_ = recorder; }

 private:
  template <bool kCabac>
  std::uint32_t decodeMacroblocks(MacroblockDecoder<T>& macroblocks, std::uint32_t endMb);

  const ParsedSliceHeader& slice_;
  StreamParser& parser_;
  Picture<T>& picture_;
  DecodeMode mode_;
  const Kernels<T>& kernels_;
  bool reconstruct_ = true;
  FilterRecorder filterRecorder_;
};

extern template class SliceDecoder<unsigned short>;

void decodeSliceWork(const SliceWork& work);

ISTREL_LEVEL_END
}  // namespace H264
