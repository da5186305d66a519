// What `istrel info` learns about a stream, gathered in one pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "common/annexb_file.h"
#include "syntax/parameters_decoder.h"

namespace istrel::tools {

// How the frames of a run are coded, from the parameter sets their first
// readable slice activates.
struct StreamFormat {
  std::uint32_t profileIdc = 0;
  std::uint32_t constraintFlags = 0;
  std::uint32_t levelIdc = 0;
  std::uint32_t chromaFormat = 0;
  bool separatePlanes = false;
  std::uint32_t bitDepthLuma = 0;
  std::uint32_t bitDepthChroma = 0;
  std::uint32_t codedWidth = 0;
  std::uint32_t codedHeight = 0;
  std::uint32_t width = 0;  // cropped
  std::uint32_t height = 0;
  bool frameMbsOnly = true;
  bool mbaff = false;
  bool cabac = false;
  bool transform8x8 = false;
  bool spsMatrices = false;
  bool ppsMatrices = false;
  bool lossless = false;
  int aspectRatioIdc = -1;  // -1 when the VUI states none
  unsigned sarWidth = 0;    // as the library reports it
  unsigned sarHeight = 0;
  unsigned rateNum = 0;  // frames per second, 0/0 without timing information
  unsigned rateDen = 0;
  bool operator==(const StreamFormat&) const = default;
};

StreamFormat formatOf(const H264::SeqParameterSet& sps, const H264::PicParameterSet& pps);

// "1280x720 4:2:2 10-bit".
std::string formatName(const StreamFormat& format);

// Consecutive frames of one format. Frames without a readable slice count
// with the run before them (or the first run).
struct FormatRun {
  StreamFormat format;
  std::size_t firstFrame = 0;
  std::size_t lastFrame = 0;
  std::size_t minSlices = 0;  // per frame
  std::size_t maxSlices = 0;
  std::size_t fieldPairs = 0;
  std::size_t singleFields = 0;
};

struct StreamSummary {
  H264::ParametersDecoder parameters;      // as last received
  int ppsId = -1;                          // named by the first readable slice
  std::vector<std::size_t> slicesPerUnit;  // per frame
  std::size_t sliceErrors = 0;             // slice headers that could not be read
  std::size_t parameterSetErrors = 0;
  std::vector<FormatRun> runs;
  // The loop-filter fields of the readable slice headers; the offsets of
  // those that do not switch the filter off.
  std::set<std::uint32_t> filterIdc;
  std::set<std::int32_t> alphaOffsets;
  std::set<std::int32_t> betaOffsets;
};

// Parses every parameter set and slice header of `stream`.
void summarise(const AnnexBStream& stream, StreamSummary& summary);

// The parameter sets of the first readable slice, as last received; null
// when no slice could be read.
const H264::PicParameterSet* firstPps(const StreamSummary& summary);
const H264::SeqParameterSet* firstSps(const StreamSummary& summary);

}  // namespace istrel::tools
