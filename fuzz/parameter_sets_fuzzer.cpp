// Feeds sequence parameter sets, picture parameter sets and slice headers to
// their parsers, one store for the whole input so that slice headers meet the
// sets parsed before them.
//
// Input: NAL units separated by 00 00 01 (an Annex B stream is a valid
// input). The first byte of each unit is its NAL header: type 7 is parsed as
// a sequence parameter set, 8 as a picture parameter set, anything else as a
// slice header (nal_unit_type 5 for type 5, 1 otherwise).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/errors.h"
#include "syntax/annexb.h"
#include "syntax/nal_unit.h"
#include "syntax/parameters_decoder.h"
#include "syntax/picture_format.h"
#include "syntax/slice_header.h"
#include "syntax/stream_parser.h"

namespace {

volatile std::uint32_t sink;

void parseUnit(H264::ParametersDecoder& parameters, const std::uint8_t* unit, std::size_t size) {
  if (size == 0) return;
  const unsigned header = unit[0];
  const unsigned type = H264::nalUnitType(header);
  std::vector<std::uint8_t> payload(unit + 1, unit + size);  // no slack past its end
  H264::UnescapedNal nal = H264::unescapeInPlace(payload.data(), payload.size(), 0, 0);
  const auto length = static_cast<std::uint32_t>(nal.length);
  try {
    if (H264::isParameterSet(header)) {
      H264::StreamParser parser(payload.data(), length, H264::kParameterSetError);
      parameters.parseNal(parser, type);
      if (type == H264::kNalSps) {
        const H264::PictureFormat& format = parameters.format();
        sink = format.sizeInMbs + format.chromaWidth * format.chromaHeight;
      }
    } else {
      H264::StreamParser parser(payload.data(), length, H264::kSliceError);
      H264::SliceHeader sliceHeader;
      H264::ActiveParameters active;
      const unsigned sliceType =
          type == H264::kNalIdrSlice ? H264::kNalIdrSlice : H264::kNalNonIdrSlice;
      H264::parseSliceHeader(parser, parameters, H264::nalRefIdc(header), sliceType, sliceHeader,
                             active);
      sink = static_cast<std::uint32_t>(sliceHeader.SliceQPY) + active.format.sizeInMbs +
             H264::croppedWidth(*active.sps) + H264::croppedHeight(*active.sps);
    }
  } catch (int) {
    // Malformed or unsupported: the parsers' ordinary answer.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  H264::ParametersDecoder parameters;
  std::size_t start = 0;
  for (std::size_t i = 0; i + 3 <= size; ++i) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      parseUnit(parameters, data + start, i - start);
      start = i + 3;
      i += 2;
    }
  }
  parseUnit(parameters, data + start, size - start);
  return 0;
}
