#include "istrel/decode_command.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include "api/frame_driver.h"
#include "common/stream_summary.h"
#include "istrel/decode_options.h"
#include "istrel/frame_source.h"
#include "istrel/frame_writer.h"
#include "istrel/png_writer.h"
#include "istrel/progress_line.h"

namespace istrel::tools {
namespace {

// The y4m tags of frame `unit` as `display` shows it. MBAFF frames carry no
// field order (only picture timing SEI would): top field first is taken. The
// preview, every second row, holds one field.
FrameTags tagsOf(const DisplayInfo& display, const AccessUnit& unit, bool preview) {
  FrameTags tags;
  if (display.rateNum) {
    tags.rateNum = display.rateNum;
    tags.rateDen = display.rateDen;
  }
  tags.sarWidth = display.sarWidth;
  tags.sarHeight = display.sarHeight;
  const bool fields = unit.coding == FrameCoding::kFieldPair || unit.coding == FrameCoding::kField;
  if (!preview && fields) tags.interlace = unit.bottomFieldFirst ? 'b' : 't';
  if (!preview && unit.coding == FrameCoding::kMbaffFrame) tags.interlace = 't';
  return tags;
}

// The exported functions deliver 4:2:0 and 4:2:2 only; anything else goes
// through the C++ classes.
std::unique_ptr<FrameSource> chooseSource(const DecodeOptions& o, const StreamFormat& first,
                                          std::ostream& err) {
  if (o.conformant) return classSource(H264::DecodeMode::kConformant, o.preview);
  if (first.chromaFormat == 1 || first.chromaFormat == 2) return exportedSource(o.preview);
  err << "istrel: note: " << o.input << " is " << formatName(first)
      << ", which the exported functions do not deliver: decoding with the C++ interface as "
         "they do\n";
  return classSource(H264::DecodeMode::kCompatible, o.preview);
}

// The host's decoding needs sequence parameter set 0 and never applies the
// loop filter: say so before decoding, and how to decode the stream whole.
void checkHostDecoding(const DecodeOptions& o, const StreamSummary& summary, std::ostream& err) {
  if (!summary.parameters.sps(0)) {
    std::string ids;
    for (std::uint32_t id = 0; id < H264::ParametersDecoder::kMaxSpsCount; ++id) {
      if (summary.parameters.sps(id)) ids += (ids.empty() ? "" : ", ") + std::to_string(id);
    }
    throw std::runtime_error(o.input + ": no sequence parameter set 0 (the stream's have id " +
                             ids + "), which the host's decoding needs; --conformant decodes it");
  }
  std::set<std::uint32_t> enabling = summary.filterIdc;
  enabling.erase(1);
  if (!enabling.empty()) {
    err << "istrel: note: " << o.input << ": slices enable the loop filter "
        << "(disable_deblocking_filter_idc " << *enabling.begin()
        << "); the host's decoding leaves it off, --conformant applies it\n";
  }
}

struct Outcome {
  long frames = 0;  // attempted
  long failedFrames = 0;
  bool stopped = false;  // at a change of format the output file cannot hold
};

Outcome decodeFrames(const DecodeOptions& o, const AnnexBStream& stream, FrameSource& source,
                     FrameWriter* writer, std::ostream& out, std::ostream& err) {
  long total = static_cast<long>(stream.units.size());
  if (o.frames >= 0) total = std::min(total, o.frames);
  ProgressLine progress(out, err, total);
  Outcome outcome;
  std::string fileFormat;  // of the pictures in the output file
  bool slicesNoted = false;
  for (long i = 0; i < total; ++i) {
    ++outcome.frames;
    const AccessUnit& unit = stream.units[static_cast<std::size_t>(i)];
    const std::string failure = source.decode(stream, unit);
    if (!failure.empty()) {
      ++outcome.failedFrames;
      progress.err() << "istrel: frame " << i << ": " << failure << "\n";
      continue;
    }
    if (const std::size_t failed = failedSlices(source.core())) {
      ++outcome.failedFrames;
      progress.err() << "istrel: frame " << i << ": " << failed << " of "
                     << source.core().sliceCount() << " slices could not be decoded\n";
    }
    const std::size_t ignored = source.core().lastFrame().slicesIgnored;
    if (ignored && !slicesNoted) {
      progress.err() << "istrel: note: frame " << i << " has "
                     << source.core().lastFrame().slicesDecoded + ignored
                     << " slices: the host's decoding takes the first " << H264::kSlicesPerFrame
                     << " of a frame and skips the others, here and in any later frame; "
                        "--conformant decodes every slice\n";
      slicesNoted = true;
    }
    PictureView view = source.view();
    if (writer) {
      const std::string format = formatName(view);
      if (fileFormat.empty()) fileFormat = format;
      if (format != fileFormat) {
        progress.err() << "istrel: frame " << i << ": the pictures change from " << fileFormat
                       << " to " << format << "; " << o.output
                       << " holds pictures of one format, so decoding stops "
                       << "after frame " << i - 1
                       << " (--md5 without -o goes on across the change)\n";
        outcome.stopped = true;
        break;
      }
      writer->write(view, writer->wantsV210() ? source.v210() : std::vector<char>{},
                    tagsOf(source.display(), unit, o.preview));
    }
    if (o.md5) progress.out() << md5Line(static_cast<std::size_t>(i), view) << "\n";
    if (i == 0 && !o.png.empty()) writePng(o.png, view);
    progress.update(i + 1);
  }
  progress.finish(outcome.frames);
  return outcome;
}

}  // namespace

int runDecode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string usageError;
  std::optional<DecodeOptions> options = parseDecodeOptions(args, usageError);
  if (!options) {
    err << "istrel decode: " << usageError << "\n" << kDecodeUsage;
    return 2;
  }
  const DecodeOptions& o = *options;
  try {
    AnnexBStream stream = splitAnnexB(readFile(o.input));
    if (stream.nals.empty()) throw std::runtime_error(o.input + ": not an H.264 Annex B stream");
    StreamSummary summary;
    summarise(stream, summary);
    if (summary.runs.empty()) {
      throw std::runtime_error(
          o.input + ": no slice with readable parameter sets" +
          (summary.parameterSetErrors ? " (parameter sets are malformed or unsupported)" : ""));
    }
    if (!o.conformant) checkHostDecoding(o, summary, err);
    applySharedOptions(o, err);
    const StreamFormat& first = summary.runs.front().format;
    std::unique_ptr<FrameSource> source = chooseSource(o, first, err);
    std::unique_ptr<FrameWriter> writer;
    if (!o.output.empty()) writer = openFrameWriter(o.output);
    if (writer && writer->wantsV210() && first.chromaFormat == 3) {
      throw std::runtime_error(o.output + ": v210 carries 4:2:0 and 4:2:2 pictures only, and " +
                               o.input + " is 4:4:4 (write a .y4m or .yuv file)");
    }
    Outcome outcome = decodeFrames(o, stream, *source, writer.get(), out, err);
    if (outcome.stopped) return 1;
    if (outcome.failedFrames) {
      err << "istrel: " << o.input << ": " << outcome.failedFrames << " of " << outcome.frames
          << " frames had errors\n";
      return 1;
    }
    return 0;
  } catch (const std::exception& e) {
    err << "istrel: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace istrel::tools
