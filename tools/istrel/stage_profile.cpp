#include "istrel/stage_profile.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "istrel/frame_timer.h"
#include "istrel/internal_decoder.h"

namespace istrel::tools {
namespace {

// The passes run in turn, in rounds, so that a change of load on the machine
// falls on every pass alike; each pass reports its median over the rounds.
constexpr int kRounds = 5;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double decodePass(InternalDecoder& decoder, const AnnexBStream& stream, bool reconstruct,
                  double seconds) {
  decoder.core().setReconstruction(reconstruct);
  return timeFrames(stream, seconds, [&](const AccessUnit& unit) { decoder.decode(stream, unit); })
      .msPerFrame();
}

StagePasses oneRound(InternalDecoder& decoder, const AnnexBStream& stream, double seconds) {
  StagePasses p;
  p.scan = timeFrames(stream, seconds, [&](const AccessUnit& unit) {
             decoder.scan(stream, unit);
           }).msPerFrame();
  p.parse = decodePass(decoder, stream, false, seconds);
  p.full = decodePass(decoder, stream, true, seconds);
  p.convert =
      timeFrames(stream, seconds, [&](const AccessUnit&) { decoder.convert(); }).msPerFrame();
  return p;
}

void printStage(const char* name, double ms, double total, std::ostream& out) {
  char line[96];
  std::snprintf(line, sizeof line, "  %-30s %9.3f %7.1f%%\n", name, ms,
                total > 0 ? 100 * ms / total : 0.0);
  out << line;
}

}  // namespace

std::optional<StagePasses> profileStages(const AnnexBStream& stream, H264::DecodeMode mode,
                                         bool preview, double seconds) {
  InternalDecoder decoder(mode, preview);
  if (!decoder.prime(stream)) return std::nullopt;
  std::vector<double> scan, parse, full, convert;
  for (int round = 0; round < kRounds; ++round) {
    StagePasses p = oneRound(decoder, stream, seconds / kRounds);
    scan.push_back(p.scan);
    parse.push_back(p.parse);
    full.push_back(p.full);
    convert.push_back(p.convert);
  }
  return StagePasses{median(scan), median(parse), median(full), median(convert)};
}

// The stages are differences of passes: on a noisy machine a small one can
// come out slightly negative.
void printProfile(const StagePasses& p, std::ostream& out) {
  const double total = p.full + p.convert;
  out << "profile (ms per frame, share; each pass timed on its own):\n";
  printStage("frame scan", p.scan, total, out);
  printStage("entropy decoding", p.parse - p.scan, total, out);
  printStage("prediction and reconstruction", p.full - p.parse, total, out);
  printStage("v210 conversion", p.convert, total, out);
  printStage("total", total, total, out);
}

}  // namespace istrel::tools
