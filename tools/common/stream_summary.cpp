#include "common/stream_summary.h"

#include <algorithm>
#include <optional>

#include "common/picture_view.h"
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

// Reads a slice header; the format of the frame when it is the frame's first.
void readSlice(const NalUnit& nal, const std::vector<std::uint8_t>& rbsp, StreamSummary& s,
               std::optional<StreamFormat>& frameFormat) {
  H264::StreamParser parser(rbsp.data(), static_cast<std::uint32_t>(rbsp.size()));
  H264::SliceHeader header;
  H264::ActiveParameters active;
  H264::parseSliceHeader(parser, s.parameters, nal.refIdc(), nal.type(), header, active);
  if (s.ppsId < 0) s.ppsId = static_cast<int>(header.pic_parameter_set_id);
  s.filterIdc.insert(header.disable_deblocking_filter_idc);
  if (header.disable_deblocking_filter_idc != 1) {
    s.alphaOffsets.insert(header.slice_alpha_c0_offset_div2);
    s.betaOffsets.insert(header.slice_beta_offset_div2);
  }
  if (!frameFormat) frameFormat = formatOf(*active.sps, *active.pps);
}

void addToRuns(StreamSummary& s, std::size_t frame, const std::optional<StreamFormat>& format,
               std::size_t slices, FrameCoding coding) {
  if (format && (s.runs.empty() || !(s.runs.back().format == *format))) {
    FormatRun run;
    run.format = *format;
    run.firstFrame = s.runs.empty() ? 0 : frame;
    run.minSlices = slices;
    s.runs.push_back(run);
  }
  if (s.runs.empty()) return;  // counted when the first run starts
  FormatRun& run = s.runs.back();
  run.lastFrame = frame;
  run.minSlices = std::min(run.minSlices, slices);
  run.maxSlices = std::max(run.maxSlices, slices);
  run.fieldPairs += coding == FrameCoding::kFieldPair;
  run.singleFields += coding == FrameCoding::kField;
}

}  // namespace

StreamFormat formatOf(const H264::SeqParameterSet& sps, const H264::PicParameterSet& pps) {
  StreamFormat f;
  f.profileIdc = sps.profile_idc;
  f.constraintFlags = sps.constraint_set_flags;
  f.levelIdc = sps.level_idc;
  f.chromaFormat = sps.chroma_format_idc;
  f.separatePlanes = sps.separate_colour_plane_flag;
  f.bitDepthLuma = sps.BitDepthY;
  f.bitDepthChroma = sps.BitDepthC;
  const DisplayInfo display = displayInfoOf(sps);
  f.codedWidth = display.layout.lumaWidth;
  f.codedHeight = display.layout.lumaHeight;
  f.width = static_cast<std::uint32_t>(display.width);
  f.height = static_cast<std::uint32_t>(display.height);
  f.frameMbsOnly = sps.frame_mbs_only_flag;
  f.mbaff = sps.mb_adaptive_frame_field_flag;
  f.cabac = pps.entropy_coding_mode_flag;
  f.transform8x8 = pps.transform_8x8_mode_flag;
  f.spsMatrices = sps.seq_scaling_matrix_present_flag;
  f.ppsMatrices = pps.pic_scaling_matrix_present_flag;
  f.lossless = sps.qpprime_y_zero_transform_bypass_flag;
  if (sps.vui && sps.vui->aspect_ratio_info_present_flag) {
    f.aspectRatioIdc = sps.vui->aspect_ratio_idc;
  }
  f.sarWidth = display.sarWidth;
  f.sarHeight = display.sarHeight;
  f.rateNum = display.rateNum;
  f.rateDen = display.rateDen;
  return f;
}

std::string formatName(const StreamFormat& f) {
  return formatName(static_cast<int>(f.width), static_cast<int>(f.height),
                    static_cast<int>(f.chromaFormat), static_cast<int>(f.bitDepthLuma),
                    static_cast<int>(f.bitDepthChroma));
}

void summarise(const AnnexBStream& stream, StreamSummary& s) {
  for (std::size_t frame = 0; frame < stream.units.size(); ++frame) {
    const AccessUnit& unit = stream.units[frame];
    std::size_t slices = 0;
    std::optional<StreamFormat> format;
    for (std::size_t i = unit.firstNal; i < unit.firstNal + unit.nalCount; ++i) {
      const NalUnit& nal = stream.nals[i];
      if (!nal.isParameterSet() && !nal.isSlice()) continue;
      try {
        if (nal.isSlice()) {
          ++slices;
          readSlice(nal, sliceHeaderRbspOf(stream, nal), s, format);
        } else {
          readParameterSet(s.parameters, rbspOf(stream, nal), nal.type());
        }
      } catch (int) {
        ++(nal.isSlice() ? s.sliceErrors : s.parameterSetErrors);
      }
    }
    s.slicesPerUnit.push_back(slices);
    addToRuns(s, frame, format, slices, unit.coding);
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
