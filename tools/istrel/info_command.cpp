#include "istrel/info_command.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "common/stream_decoder.h"
#include "common/stream_summary.h"
#include "istrel/shared_options.h"

namespace istrel::tools {
namespace {

// Annex A: profile_idc, with constraint_set1_flag for Constrained Baseline
// and constraint_set3_flag for the Intra profiles.
std::string profileName(const StreamFormat& f) {
  const bool constrained = (f.constraintFlags & 4) != 0;  // constraint_set1_flag
  const bool intra = (f.constraintFlags & 1) != 0;        // constraint_set3_flag
  switch (f.profileIdc) {
    case 66:
      return constrained ? "Constrained Baseline" : "Baseline";
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
      return "profile_idc " + std::to_string(f.profileIdc);
  }
}

const char* chromaName(const StreamFormat& f) {
  static const char* const kNames[] = {"4:0:0 (monochrome)", "4:2:0", "4:2:2", "4:4:4"};
  return f.separatePlanes ? "4:4:4 (separate planes)" : kNames[f.chromaFormat & 3];
}

std::string structureOf(const FormatRun& run) {
  if (run.format.frameMbsOnly) return "progressive frames";
  std::string text = "interlaced-capable (frame_mbs_only_flag 0)";
  text += run.format.mbaff ? ", MBAFF" : ", no MBAFF";
  if (run.fieldPairs) text += ", " + std::to_string(run.fieldPairs) + " field pairs";
  if (run.singleFields) text += ", " + std::to_string(run.singleFields) + " single fields";
  return text;
}

std::string matricesOf(const StreamFormat& f) {
  if (!f.spsMatrices && !f.ppsMatrices) return "flat";
  std::string text;
  if (f.spsMatrices) text = "in the sequence parameter set";
  if (f.ppsMatrices) {
    text += text.empty() ? "in the picture parameter set" : " and the picture parameter set";
  }
  return text;
}

std::string aspectRatioOf(const StreamFormat& f) {
  if (f.aspectRatioIdc < 0) return "not signalled";
  return std::to_string(f.sarWidth) + ":" + std::to_string(f.sarHeight) + " (aspect_ratio_idc " +
         std::to_string(f.aspectRatioIdc) + ")";
}

std::string frameRateOf(const StreamFormat& f) {
  if (!f.rateNum) return "not signalled";
  if (f.rateDen == 1) return std::to_string(f.rateNum) + " frames per second";
  char text[64];
  std::snprintf(text, sizeof text, "%.3f frames per second (%u/%u)",
                static_cast<double>(f.rateNum) / f.rateDen, f.rateNum, f.rateDen);
  return text;
}

std::string slicesPerFrame(const FormatRun& run) {
  if (run.minSlices == run.maxSlices) return std::to_string(run.minSlices);
  return std::to_string(run.minSlices) + " to " + std::to_string(run.maxSlices);
}

template <typename Values>
std::string listOf(const Values& values) {
  std::string text;
  for (auto value : values) text += (text.empty() ? "" : ", ") + std::to_string(value);
  return text;
}

// The label of a line, padded to the column where the values start.
std::string label(const std::string& text) {
  return text + std::string(text.size() < 18 ? 18 - text.size() : 1, ' ');
}

void printRun(const FormatRun& run, std::ostream& out) {
  const StreamFormat& f = run.format;
  const std::string frames =
      run.firstFrame == run.lastFrame
          ? "frame " + std::to_string(run.firstFrame) + ":"
          : "frames " + std::to_string(run.firstFrame) + "-" + std::to_string(run.lastFrame) + ":";
  out << label(frames) << formatName(f) << ", " << profileName(f) << ", "
      << (f.cabac ? "CABAC" : "CAVLC") << "\n"
      << "profile:          " << profileName(f) << " (profile_idc " << f.profileIdc << ")\n"
      << "level:            " << f.levelIdc / 10 << "." << f.levelIdc % 10 << "\n"
      << "chroma format:    " << chromaName(f) << "\n"
      << "bit depth:        luma " << f.bitDepthLuma << ", chroma " << f.bitDepthChroma << "\n"
      << "coded size:       " << f.codedWidth << "x" << f.codedHeight << " (" << f.codedWidth / 16
      << "x" << f.codedHeight / 16 << " macroblocks)\n"
      << "cropped size:     " << f.width << "x" << f.height << "\n"
      << "structure:        " << structureOf(run) << "\n"
      << "entropy coding:   " << (f.cabac ? "CABAC" : "CAVLC") << "\n"
      << "8x8 transform:    " << (f.transform8x8 ? "yes" : "no") << "\n"
      << "scaling matrices: " << matricesOf(f) << "\n"
      << "lossless bypass:  " << (f.lossless ? "yes" : "no") << "\n"
      << "aspect ratio:     " << aspectRatioOf(f) << "\n"
      << "frame rate:       " << frameRateOf(f) << "\n"
      << "slices per frame: " << slicesPerFrame(run) << "\n";
}

void printSummary(const AnnexBStream& stream, const StreamSummary& s, std::ostream& out) {
  out << "frames:           " << stream.units.size();
  if (s.runs.size() > 1) out << " in " << s.runs.size() << " formats, each listed with its frames";
  out << "\n";
  for (const FormatRun& run : s.runs) printRun(run, out);
  if (s.filterIdc == std::set<std::uint32_t>{1}) {
    out << "loop filter:      disable_deblocking_filter_idc 1 (off) in every slice\n";
  } else if (!s.filterIdc.empty()) {
    out << "loop filter:      disable_deblocking_filter_idc " << listOf(s.filterIdc)
        << "; slice_alpha_c0_offset_div2 " << listOf(s.alphaOffsets) << "; slice_beta_offset_div2 "
        << listOf(s.betaOffsets) << "\n";
  }
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
  if (summary.runs.empty()) {
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
