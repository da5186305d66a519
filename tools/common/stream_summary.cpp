#include "common/stream_summary.h"

#include "syntax/slice_header.h"
#include "syntax/stream_parser.h"

namespace istrel::tools {
namespace {

void readParameterSet(H264::ParametersDecoder& parameters, const std::vector<std::uint8_t>& rbsp,
                      unsigned type) {
  H264::StreamParser parser(rbsp.data(), static_cast<std::uint32_t>(rbsp.size()),
                            H264::kParameterSetError);
  parameters.parseNal(parser, type);
}

void readSlice(const NalUnit& nal, const std::vector<std::uint8_t>& rbsp, StreamSummary& s) {
  H264::StreamParser parser(rbsp.data(), static_cast<std::uint32_t>(rbsp.size()));
  H264::SliceHeader header;
  H264::ActiveParameters active;
  H264::parseSliceHeader(parser, s.parameters, nal.refIdc(), nal.type(), header, active);
  if (s.ppsId < 0) s.ppsId = static_cast<int>(header.pic_parameter_set_id);
  s.fieldSlices += header.field_pic_flag;
  s.mbaffSlices += header.MbaffFrameFlag;
}

}  // namespace

void summarise(const AnnexBStream& stream, StreamSummary& s) {
  for (const AccessUnit& unit : stream.units) {
    std::size_t slices = 0;
    for (std::size_t i = unit.firstNal; i < unit.firstNal + unit.nalCount; ++i) {
      const NalUnit& nal = stream.nals[i];
      if (nal.type() != 7 && nal.type() != 8 && !nal.isSlice()) continue;
      std::vector<std::uint8_t> rbsp = rbspOf(stream, nal);
      try {
        if (nal.isSlice()) {
          ++slices;
          readSlice(nal, rbsp, s);
        } else {
          readParameterSet(s.parameters, rbsp, nal.type());
        }
      } catch (int) {
        ++(nal.isSlice() ? s.sliceErrors : s.parameterSetErrors);
      }
    }
    s.slicesPerUnit.push_back(slices);
  }
}

const H264::PicParameterSet* firstPps(const StreamSummary& s) {
  return s.ppsId < 0 ? nullptr : s.parameters.pps(static_cast<std::uint32_t>(s.ppsId));
}

const H264::SeqParameterSet* firstSps(const StreamSummary& s) {
  const H264::PicParameterSet* pps = firstPps(s);
  return pps ? s.parameters.sps(pps->seq_parameter_set_id) : nullptr;
}

}  // namespace istrel::tools
