#include "istrel/bench_command.h"

#include <zoncore/threads.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "api/v210_converter.h"
#include "common/stream_summary.h"
#include "istrel/bench_options.h"
#include "istrel/frame_source.h"
#include "istrel/frame_timer.h"
#include "istrel/internal_decoder.h"
#include "istrel/memory_use.h"
#include "istrel/stage_profile.h"
#include "syntax/parameter_sets.h"
#include "syntax/picture_format.h"

namespace istrel::tools {
namespace {

std::string describeStream(const H264::SeqParameterSet& sps, const H264::PicParameterSet& pps) {
  const char* structure = sps.frame_mbs_only_flag            ? "progressive"
                          : sps.mb_adaptive_frame_field_flag ? "MBAFF"
                                                             : "interlaced";
  return std::to_string(H264::croppedWidth(sps)) + "x" + std::to_string(H264::croppedHeight(sps)) +
         (sps.chroma_format_idc == 2 ? " 4:2:2 " : " 4:2:0 ") + std::to_string(sps.BitDepthY) +
         "-bit, " + (pps.entropy_coding_mode_flag ? "CABAC" : "CAVLC") + ", " + structure;
}

// The exported functions as a host calls them. The first frame, which also
// reads the parameter sets (AVCIReadAspectRatio), is decoded once untimed.
TimedRun timeExported(const BenchOptions& o, const AnnexBStream& stream, std::string& failure) {
  std::unique_ptr<FrameSource> source = exportedSource(o.preview);
  auto work = [&](const AccessUnit& unit) {
    std::string problem = source->decode(stream, unit);
    if (!problem.empty() && failure.empty()) failure = problem;
  };
  work(stream.units.front());
  TimedRun run = timeFrames(stream, o.seconds, work);
  if (failure.empty() && source->errorFlags()) failure = "a slice could not be decoded";
  run.kernels = H264::kernelLevelName(source->core().kernelLevel());
  return run;
}

// The C++ interface in conformant mode: the frame driver, then the conversion.
TimedRun timeConformant(const BenchOptions& o, const AnnexBStream& stream, std::string& failure) {
  InternalDecoder decoder(H264::DecodeMode::kConformant, o.preview);
  decoder.core().setDeblocking(!o.noDeblock);
  if (!decoder.prime(stream)) {
    failure = "no usable parameter sets";
    return {};
  }
  auto work = [&](const AccessUnit& unit) {
    decoder.decode(stream, unit);
    decoder.convert();
  };
  work(stream.units.front());
  TimedRun run = timeFrames(stream, o.seconds, work);
  if (decoder.core().errorFlags()) failure = "a slice could not be decoded";
  run.kernels = H264::kernelLevelName(decoder.core().kernelLevel());
  return run;
}

void printRun(const TimedRun& run, std::ostream& out) {
  const FrameTimes t = frameTimesOf(run.frameMs);
  const double fps = run.seconds > 0 ? static_cast<double>(run.frames) / run.seconds : 0;
  const double mbits = run.seconds > 0 ? 8e-6 * static_cast<double>(run.bytes) / run.seconds : 0;
  char text[256];
  std::snprintf(text, sizeof text,
                "kernels:  %s\nframes:   %ld in %.2f s\nfps:      %.2f\nMbit/s:   %.1f\n"
                "ms/frame: median %.3f, min %.3f, max %.3f\n",
                run.kernels, run.frames, run.seconds, fps, mbits, t.median, t.min, t.max);
  out << text;
}

// What decoding added to the resident memory, beside what it must hold: the
// picture (16-bit samples whatever the depth) and the host's buffers (the
// largest frame and a full-size v210 frame).
void printMemory(const H264::SeqParameterSet& sps, const AnnexBStream& stream, std::uint64_t before,
                 std::ostream& out) {
  const MemoryUse use = memoryUse();
  if (use.peak == 0) return;
  const H264::PictureFormat f = H264::PictureFormat::of(sps);
  const std::uint64_t picture =
      2 * (std::uint64_t{f.lumaWidth} * f.lumaHeight + 2ull * f.chromaWidth * f.chromaHeight);
  std::uint64_t host = H264::V210Geometry::of(static_cast<int>(f.lumaWidth),
                                              static_cast<int>(H264::croppedHeight(sps)), true)
                           .bytes();
  std::size_t largestFrame = 0;
  for (const AccessUnit& unit : stream.units)
    largestFrame = std::max(largestFrame, unit.end - unit.begin);
  host += largestFrame;
  const std::uint64_t added = use.peak > before ? use.peak - before : 0;
  const std::uint64_t needed = picture + host;
  auto mib = [](std::uint64_t bytes) { return static_cast<double>(bytes) / (1 << 20); };
  char text[256];
  std::snprintf(text, sizeof text,
                "memory:   peak %.1f MiB resident; decoding added %.1f MiB: picture %.1f, "
                "host buffers %.1f, other %s%.1f\n",
                mib(use.peak), mib(added), mib(picture), mib(host), added < needed ? "-" : "",
                mib(added < needed ? needed - added : added - needed));
  out << text;
}

// The sequence parameter set of the picture the frames are decoded into:
// set 0 on the exported path, which needs it, the first frame's otherwise.
// Throws for a stream that cannot be timed.
const H264::SeqParameterSet& checkStream(const BenchOptions& o, const AnnexBStream& stream,
                                         const StreamSummary& summary) {
  if (stream.units.empty() || !firstSps(summary)) {
    throw std::runtime_error(o.input + ": no slice with readable parameter sets");
  }
  const H264::SeqParameterSet* sps = o.conformant ? firstSps(summary) : summary.parameters.sps(0);
  if (!sps) {
    throw std::runtime_error(o.input +
                             ": no sequence parameter set 0, which the exported functions need "
                             "(--conformant times the stream through the C++ interface)");
  }
  if (sps->chroma_format_idc != 1 && sps->chroma_format_idc != 2) {
    throw std::runtime_error(o.input +
                             ": 4:4:4, and v210 delivery is timed for 4:2:0 and 4:2:2 "
                             "streams only");
  }
  return *sps;
}

void printHeader(const BenchOptions& o, const AnnexBStream& stream, const StreamSummary& summary,
                 std::ostream& out) {
  out << "file:     " << o.input << " (" << stream.units.size() << " frames, "
      << describeStream(*firstSps(summary), *firstPps(summary)) << ")\n"
      << "decoding: "
      << (o.conformant ? (o.noDeblock ? "C++ interface, conformant without the deblocking filter"
                                      : "C++ interface, conformant")
                       : "exported functions")
      << ", " << (o.preview ? "preview" : "full size") << ", " << zoncore::threads::WorkerCount()
      << " workers\n";
}

int bench(const BenchOptions& o, std::ostream& out, std::ostream& err) {
  AnnexBStream stream = splitAnnexB(readFile(o.input));
  StreamSummary summary;
  summarise(stream, summary);
  const H264::SeqParameterSet& sps = checkStream(o, stream, summary);
  applySharedOptions(o, err);
  printHeader(o, stream, summary, out);
  std::string failure;
  resetPeak();
  const std::uint64_t before = memoryUse().resident;
  TimedRun run =
      o.conformant ? timeConformant(o, stream, failure) : timeExported(o, stream, failure);
  if (!failure.empty()) {
    err << "istrel: " << o.input << ": " << failure << "\n";
    return 1;
  }
  printRun(run, out);
  printMemory(sps, stream, before, out);
  if (!o.profile) return 0;
  const auto mode = o.conformant ? H264::DecodeMode::kConformant : H264::DecodeMode::kCompatible;
  std::optional<StagePasses> passes = profileStages(stream, mode, o.preview, o.seconds);
  if (passes) printProfile(*passes, out);
  return 0;
}

}  // namespace

int runBench(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string usageError;
  std::optional<BenchOptions> options = parseBenchOptions(args, usageError);
  if (!options) {
    err << "istrel bench: " << usageError << "\n" << kBenchUsage;
    return 2;
  }
  try {
    return bench(*options, out, err);
  } catch (const std::exception& e) {
    err << "istrel: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace istrel::tools
