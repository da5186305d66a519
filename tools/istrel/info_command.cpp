#include "istrel/info_command.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "api/aspect_ratio.h"
#include "common/stream_decoder.h"
#include "common/stream_summary.h"
#include "istrel/shared_options.h"

namespace istrel::tools {
namespace {

std::string profileName(const H264::SeqParameterSet& sps) {
  bool intra = (sps.constraint_set_flags & 1) != 0;  // constraint_set3_flag
  switch (sps.profile_idc) {
    case 66:
      return "Constrained Baseline/Baseline";
    case 77:
      return "Main";
    case 88:
      return "Extended";
    case 100:
      return "High";
    case 110:
      return intra ? "High 10 Intra" : "High 10";
    case 122:
      return intra ? "High 4:2:2 Intra" : "High 4:2:2";
    case 244:
      return intra ? "High 4:4:4 Intra" : "High 4:4:4 Predictive";
    case 44:
      return "CAVLC 4:4:4 Intra";
    default:
      return "profile_idc " + std::to_string(sps.profile_idc);
  }
}

const char* chromaName(const H264::SeqParameterSet& sps) {
  static const char* const kNames[] = {"4:0:0 (monochrome)", "4:2:0", "4:2:2", "4:4:4"};
  return sps.separate_colour_plane_flag ? "4:4:4 (separate planes)" : kNames[sps.chroma_format_idc];
}

std::string structureOf(const H264::SeqParameterSet& sps, const StreamSummary& s) {
  if (sps.frame_mbs_only_flag) return "progressive frames";
  std::string text = "interlaced-capable (frame_mbs_only_flag 0)";
  text += sps.mb_adaptive_frame_field_flag ? ", MBAFF" : ", no MBAFF";
  if (s.fieldSlices) text += ", " + std::to_string(s.fieldSlices) + " field slices";
  return text;
}

std::string matricesOf(const H264::SeqParameterSet& sps, const H264::PicParameterSet& pps) {
  if (!sps.seq_scaling_matrix_present_flag && !pps.pic_scaling_matrix_present_flag) {
    return "flat";
  }
  std::string text;
  if (sps.seq_scaling_matrix_present_flag) text = "in the sequence parameter set";
  if (pps.pic_scaling_matrix_present_flag) {
    text += text.empty() ? "in the picture parameter set" : " and the picture parameter set";
  }
  return text;
}

std::string aspectRatioOf(const H264::SeqParameterSet& sps) {
  const H264::VuiParameters* vui = sps.vui.get();
  if (!vui || !vui->aspect_ratio_info_present_flag) return "not signalled";
  H264::SampleAspectRatio sar = H264::aspectRatioOf(vui, false);
  return std::to_string(sar.width) + ":" + std::to_string(sar.height) + " (aspect_ratio_idc " +
         std::to_string(vui->aspect_ratio_idc) + ")";
}

std::string slicesPerUnit(const std::vector<std::size_t>& counts) {
  auto [low, high] = std::minmax_element(counts.begin(), counts.end());
  if (*low == *high) return std::to_string(*low);
  return std::to_string(*low) + " to " + std::to_string(*high);
}

void printSummary(const AnnexBStream& stream, const StreamSummary& s, std::ostream& out) {
  const H264::SeqParameterSet& sps = *firstSps(s);
  const H264::PicParameterSet& pps = *firstPps(s);
  H264::PictureFormat f = H264::PictureFormat::of(sps);
  out << "profile:          " << profileName(sps) << " (profile_idc " << int{sps.profile_idc}
      << ")\n"
      << "level:            " << sps.level_idc / 10 << "." << sps.level_idc % 10 << "\n"
      << "chroma format:    " << chromaName(sps) << "\n"
      << "bit depth:        luma " << sps.BitDepthY << ", chroma " << sps.BitDepthC << "\n"
      << "coded size:       " << f.lumaWidth << "x" << f.lumaHeight << " (" << f.widthInMbs << "x"
      << f.heightInMbs << " macroblocks)\n"
      << "cropped size:     " << H264::croppedWidth(sps) << "x" << H264::croppedHeight(sps) << "\n"
      << "structure:        " << structureOf(sps, s) << "\n"
      << "entropy coding:   " << (pps.entropy_coding_mode_flag ? "CABAC" : "CAVLC") << "\n"
      << "8x8 transform:    " << (pps.transform_8x8_mode_flag ? "yes" : "no") << "\n"
      << "scaling matrices: " << matricesOf(sps, pps) << "\n"
      << "lossless bypass:  " << (sps.qpprime_y_zero_transform_bypass_flag ? "yes" : "no") << "\n"
      << "aspect ratio:     " << aspectRatioOf(sps) << "\n"
      << "access units:     " << stream.units.size() << "\n"
      << "slices per unit:  " << slicesPerUnit(s.slicesPerUnit) << "\n";
  if (s.sliceErrors) out << "unreadable slice headers: " << s.sliceErrors << "\n";
  if (s.parameterSetErrors) out << "unreadable parameter sets: " << s.parameterSetErrors << "\n";
}

std::string percent(std::uint32_t part, std::uint32_t whole) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f%%", whole ? 100.0 * part / whole : 0.0);
  return text;
}

std::string describe(const H264::SliceStatistics& s) {
  std::uint32_t n = s.macroblocks();
  if (n == 0) return "no macroblock decoded";
  return std::to_string(n) + " macroblocks: Intra_4x4 " + percent(s.intra4x4, n) + ", Intra_8x8 " +
         percent(s.intra8x8, n) + ", Intra_16x16 " + percent(s.intra16x16, n) + ", I_PCM " +
         percent(s.pcm, n) + ", field " + percent(s.fieldMacroblocks, n) + ", QP " +
         std::to_string(s.qpMin) + ".." + std::to_string(s.qpMax);
}

// Per frame: the share of each macroblock kind, of field macroblocks, the QP
// range and the slices that failed.
int printFrameStatistics(const AnnexBStream& stream, std::ostream& out) {
  StreamDecoder decoder(H264::DecodeMode::kCompatible);
  int failedFrames = 0;
  for (std::size_t i = 0; i < stream.units.size(); ++i) {
    out << "frame " << i << ": ";
    if (!decoder.decode(stream, stream.units[i])) {
      out << "not decodable (no usable parameter sets)\n";
      ++failedFrames;
      continue;
    }
    H264::SliceStatistics total;
    std::string failed;
    for (std::size_t s = 0; s < decoder.core().sliceCount(); ++s) {
      const H264::SliceStatistics& slice = decoder.core().sliceStatistics(s);
      total.add(slice);
      if (slice.failed) failed += (failed.empty() ? "" : ", ") + std::to_string(s);
    }
    out << describe(total) << (failed.empty() ? "" : "; failed slices: " + failed) << "\n";
    failedFrames += failed.empty() ? 0 : 1;
  }
  return failedFrames;
}

}  // namespace

const char kInfoUsage[] =
    "usage: istrel info [--stats] IN.264\n"
    "  Describes the stream: each format it holds with its frames (profile, level,\n"
    "  chroma format, bit depth, sizes, structure, entropy coding, matrices, aspect\n"
    "  ratio, slices per frame), and the loop-filter fields of its slices.\n"
    "  --stats       also decode it and describe each frame: the share of each\n"
    "                macroblock kind and of field macroblocks, the QP range, the\n"
    "                slices that failed\n";

int runInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  struct InfoOptions {
    std::string input;
    bool stats = false;
  };
  const std::vector<Option<InfoOptions>> table = {
      {{"--stats"}, nullptr, [](InfoOptions& o, const std::string&) {
         o.stats = true;
         return true;
       }}};
  std::string usageError;
  std::optional<InfoOptions> options = parseOptions<InfoOptions>("info", args, table, usageError);
  if (!options) {
    err << "istrel info: " << usageError << "\n" << kInfoUsage;
    return 2;
  }
  const std::string& path = options->input;
  AnnexBStream stream;
  try {
    stream = splitAnnexB(readFile(path));
  } catch (const std::exception& e) {
    err << "istrel: " << e.what() << "\n";
    return 1;
  }
  if (stream.nals.empty()) {
    err << "istrel: " << path << ": not an H.264 Annex B stream (no start code found)\n";
    return 1;
  }
  StreamSummary summary;
  summarise(stream, summary);
  if (!firstSps(summary)) {
    err << "istrel: " << path << ": no slice with readable parameter sets"
        << (summary.parameterSetErrors ? " (parameter sets are malformed or unsupported)" : "")
        << "\n";
    return 1;
  }
  out << "file:             " << path << " (" << stream.bytes.size() << " bytes)\n";
  printSummary(stream, summary, out);
  if (options->stats && printFrameStatistics(stream, out) > 0) return 1;
  return 0;
}

}  // namespace istrel::tools
