// The decoder core: owns the parameter-set store and the picture, decodes
// one slice per call (several calls run at once), publishes the planes.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "base/cpu.h"
#include "base/decode_mode.h"
#include "base/picture.h"
#include "core/slice_decoder.h"
#include "dsp/kernels.h"
#include "macroblock/slice_statistics.h"
#include "recon/deblocking_filter.h"
#include "recon/deblocking_records.h"
#include "recon/filter_wavefront.h"
#include "syntax/picture_format.h"
#include "syntax/slice_header.h"

namespace H264 {

class ParametersDecoder;

// Parameter sets found in a buffer.
struct ParameterSetCount {
  int sequence = 0;
  int picture = 0;
  int malformed = 0;  // refused, leaving the stored set of their id as it was
};

// What the frame driver found in the last frame.
struct FrameReport {
  std::size_t slicesDecoded = 0;   // handed to the slice decoder
  std::size_t slicesIgnored = 0;   // beyond the host's ten slices (compatible mode)
  int malformedParameterSets = 0;  // conformant mode reads those of every frame
  bool noPicture = false;          // no slice named parameter sets the picture could follow
};

class H264Decoder {
 public:
  // The kernels are those of `level`, or of the best level below it that
  // this processor runs.
  explicit H264Decoder(DecodeMode mode = DecodeMode::kCompatible,
                       KernelLevel level = defaultKernelLevel());
  virtual ~H264Decoder();

  H264Decoder(const H264Decoder&) = delete;
  H264Decoder& operator=(const H264Decoder&) = delete;

  // Parses the first sequence parameter set of the Annex B `data` and the
  // first picture parameter set after it, unescaping each in place at the
  // start of the buffer. False when there is no sequence parameter set;
  // throws kParameterSetError for a malformed set or a missing picture
  // parameter set.
  bool readParameterSets(unsigned char* data, int size);

  // Parses every sequence and picture parameter set of the Annex B `data`,
  // in order, without changing the buffer.
  ParameterSetCount readEveryParameterSet(const unsigned char* data, int size);

  // Gives the picture storage for sequence parameter set 0, once; later
  // calls keep the first allocation. Throws kParameterSetError without it.
  void allocatePicture();
  // Makes `sps` the set the picture follows, giving the picture storage
  // unless it has storage of that layout already.
  void allocatePictureFor(const SeqParameterSet& sps);

  // Decodes one slice payload (unescaped). Errors stay inside: code 2 and
  // memory exhaustion are recorded in the error word, whose value is
  // returned (0 on success).
  // `endMb` is the first_mb_in_slice where another slice of the frame
  // starts: reaching it is an error of this slice.
  int decodeSlice(unsigned char* payload, int sliceIndex, unsigned int length,
                  unsigned char nal_ref_idc, unsigned int nal_unit_type,
                  std::uint32_t endMb = kNoMacroblockLimit);
  // The same for a slice whose header was parsed already: `slice.dataOffset`
  // is where its slice data begins.
  int decodeSlice(unsigned char* payload, int sliceIndex, unsigned int length,
                  const ParsedSliceHeader& slice, std::uint32_t endMb);

  DecodeMode mode() const { return mode_; }
  // The instruction-set level of the kernels and the slice decoding in use.
  KernelLevel kernelLevel() const { return level_; }
  const Kernels<unsigned short>& kernels() const { return *kernels_; }
  const ParametersDecoder& parameters() const { return *parameters_; }
  const Picture<unsigned short>& picture() const { return *picture_; }
  // The format the picture was allocated for.
  const PictureFormat& pictureFormat() const { return pictureFormat_; }
  // The sequence parameter set the picture follows (cropping, VUI), null
  // before the picture has storage.
  const SeqParameterSet* pictureSps() const;
  bool outOfMemory() const { return outOfMemory_.load(std::memory_order_relaxed); }
  unsigned errorFlags() const;

  // Forgets the statistics of the previous frame: the next one has
  // `slices` slices, numbered from 0, and `report` says what else it held.
  void beginFrame(std::size_t slices, const FrameReport& report = {});
  const FrameReport& lastFrame() const { return lastFrame_; }
  // What the slices of the last frame decoded were, by slice index.
  std::size_t sliceCount() const { return statistics_.size(); }
  const SliceStatistics& sliceStatistics(std::size_t sliceIndex) const;
  // Profiling aid: with reconstruction off slices are entropy decoded and
  // their coefficients scaled, but no sample is predicted or written.
  void setReconstruction(bool on) { reconstruct_ = on; }

  // Conformant mode, once every slice of the frame has been decoded: sets
  // the deblocking filter up over the picture and returns how many tasks
  // may share it (0: nothing to filter). Each task then calls deblockTask,
  // all of them at once.
  int beginDeblocking();
  void deblockTask();
  // Profiling aid: conformant decoding without the deblocking filter.
  void setDeblocking(bool on) { deblock_ = on; }

 private:
  SliceStatistics* statisticsOf(int sliceIndex);
  int recordFailure(SliceStatistics* statistics, int code);
  int recordOutOfMemory(SliceStatistics* statistics);

  DecodeMode mode_;
  KernelLevel level_;
  const Kernels<unsigned short>* kernels_;
  SliceWorkDecoder decodeSliceWork_;
  bool reconstruct_ = true;
  bool deblock_ = true;
  std::atomic<bool> outOfMemory_{false};
  std::unique_ptr<Picture<unsigned short>> picture_;
  PictureFormat pictureFormat_;
  std::uint32_t pictureSpsId_ = 0;
  FrameReport lastFrame_;
  std::vector<SliceStatistics> statistics_;
  // Conformant mode: what the deblocking filter needs, by macroblock of the
  // frame (a bottom field's after the top field's) and by slice.
  std::vector<FilterMacroblock> filterRecords_;
  std::vector<FilterSlice> filterSlices_;
  DeblockingFilter deblocking_;
  FilterWavefront wavefront_;
  std::unique_ptr<ParametersDecoder> parameters_;
};

}  // namespace H264
