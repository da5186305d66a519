// What `istrel info` learns about a stream, gathered in one pass.
#pragma once

#include <cstddef>
#include <vector>

#include "common/annexb_file.h"
#include "syntax/parameters_decoder.h"

namespace istrel::tools {

struct StreamSummary {
  H264::ParametersDecoder parameters;
  int ppsId = -1;  // named by the first readable slice
  std::vector<std::size_t> slicesPerUnit;
  std::size_t sliceErrors = 0;  // slice headers that could not be read
  std::size_t parameterSetErrors = 0;
  std::size_t fieldSlices = 0;
  std::size_t mbaffSlices = 0;
};

// Parses every parameter set and slice header of `stream`.
void summarise(const AnnexBStream& stream, StreamSummary& summary);

// The parameter sets of the first readable slice, as last received; null
// when no slice could be read.
const H264::PicParameterSet* firstPps(const StreamSummary& summary);
const H264::SeqParameterSet* firstSps(const StreamSummary& summary);

}  // namespace istrel::tools
