// The store of every parameter set received, and their parsers.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "base/level.h"
#include "syntax/parameter_sets.h"
#include "syntax/picture_format.h"

namespace H264 {

ISTREL_LEVEL_BEGIN
class StreamParser;
ISTREL_LEVEL_END

class ParametersDecoder {
 public:
  static constexpr std::uint32_t kMaxSpsCount = 32;
  static constexpr std::uint32_t kMaxPpsCount = 256;

  explicit ParametersDecoder(StreamParser* parser = nullptr);
  virtual ~ParametersDecoder();

  ParametersDecoder(const ParametersDecoder&) = delete;
  ParametersDecoder& operator=(const ParametersDecoder&) = delete;

  void setParser(StreamParser* parser) { parser_ = parser; }

  // Parses one sequence (kNalSps) or picture (kNalPps) parameter set RBSP
  // read by `parser`, which is attached for this call only.
  void parseNal(StreamParser& parser, unsigned type);

  // Parse one RBSP from the attached parser and store it under its id,
  // replacing the set stored there. A malformed or unsupported set throws
  // kParameterSetError and leaves the table as it was.
  void parseSps();
  void parsePps();

  // Null when no set with that id has been received.
  const SeqParameterSet* sps(std::uint32_t id) const;
  const PicParameterSet* pps(std::uint32_t id) const;

  // The format of the last sequence parameter set parsed.
  const PictureFormat& format() const { return format_; }

  // The per-stream error word (ErrorFlag bits); safe from any thread.
  void recordError(unsigned flags) { errorFlags_.fetch_or(flags, std::memory_order_relaxed); }
  unsigned errorFlags() const { return errorFlags_.load(std::memory_order_relaxed); }

 private:
  void readSpsHeader(SeqParameterSet& sps);
  void readSpsChromaAndMatrix(SeqParameterSet& sps);
  void readSpsOrder(SeqParameterSet& sps);
  void readSpsFrameSize(SeqParameterSet& sps);
  void readVui(VuiParameters& vui);
  void readHrd(HrdParameters& hrd);
  void readPpsTail(PicParameterSet& pps);
  StreamParser& parser();

  std::unique_ptr<SeqParameterSet> sps_[kMaxSpsCount];
  std::unique_ptr<PicParameterSet> pps_[kMaxPpsCount];
  PictureFormat format_;
  std::atomic<unsigned> errorFlags_{0};
  StreamParser* parser_;
};

}  // namespace H264
