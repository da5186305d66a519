// Damaged frames. Through the exported functions, handed over as a host does
// (copies of exactly the frame's size), a few representative vectors: every
// call ends in a documented status and the next clean frame is exact again.
// Then the limits of overlapping slices and of mb_qp_delta, on streams
// written here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "api/frame_decoder.h"
#include "support/host.h"
#include "support/pcm_stream.h"
#include "support/vectors.h"

namespace istrel::test {
namespace {

class Host {
 public:
  Host() : h_(AVCINewTepDecoder()) { AVCIFileOpen(h_); }
  ~Host() {
    AVCIFileClose(h_);
    AVCIntraDispose(h_);
  }
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;
  AVCIntraInfo* operator->() const { return h_; }
  const AVCIntraInfo& operator*() const { return *h_; }

  // An empty frame still has an address, as a host's buffer does.
  int readAspect(Bytes frame) {
    frame.reserve(1);
    return AVCIReadAspectRatio(h_, frame.data(), static_cast<int>(frame.size()));
  }
  // Decodes into an output of exactly the size of the host fields.
  int decode(Bytes frame) {
    frame.reserve(1);
    std::vector<char> output(
        std::max<std::size_t>(H264::V210Geometry::of(h_->width, h_->height, true).bytes(), 1));
    return AVCIDecodeFrame(nullptr, h_, frame.data(), static_cast<int>(frame.size()), output.data(),
                           true);
  }

 private:
  AVCIntraInfo* h_;
};

// Deterministic across standard libraries, unlike the std distributions.
class Random {
 public:
  explicit Random(const std::string& name) {
    std::uint32_t seed = 2166136261u;
    for (char c : name) seed = (seed ^ static_cast<std::uint8_t>(c)) * 16777619u;
    engine_.seed(seed);
  }
  std::size_t below(std::size_t n) { return n ? engine_() % n : 0; }
  std::size_t in(std::size_t first, std::size_t last) { return first + below(last - first); }

 private:
  std::mt19937 engine_;
};

// Escaped bytes [offset, offset + size) of frame 0.
struct Range {
  std::size_t offset = 0;
  std::size_t size = 0;
};

// A vector's first two frames (or its only one), where the parts of frame 0
// lie, and a handle that has read frame 0's parameter sets.
class Damage : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    c_ = vectorNamed(GetParam());
    const tools::AnnexBStream stream = tools::splitAnnexB(tools::readFile(c_.path()));
    for (std::size_t i = 0; i < std::min<std::size_t>(stream.units.size(), 2); ++i) {
      units_.push_back(unitBytes(stream, i));
    }
    const tools::AccessUnit& first = stream.units[0];
    for (std::size_t n = first.firstNal; n < first.firstNal + first.nalCount; ++n) {
      const tools::NalUnit& nal = stream.nals[n];
      const Range range{nal.offset - first.begin, nal.size};
      if (nal.isSlice()) sliceRanges_.push_back(range);
      if (nal.type() == H264::kNalSps && !sps_.size) sps_ = range;
      if (nal.type() == H264::kNalPps && sps_.size && !pps_.size) pps_ = range;
    }
    ASSERT_NE(pps_.size, 0u) << "frame 0 carries no parameter sets";
    ASSERT_EQ(host_->isOpen, 1);
    host_->is422 = c_.csp == "i422";
    host_->width = (c_.width + 15) / 16 * 16;
    host_->height = c_.height;
    ASSERT_EQ(host_.readAspect(frame()), ISTREL_STATUS_OK);
  }

  // Large pictures take fewer trials, to bound the run time.
  std::size_t trials() const { return c_.width * c_.height > 400 * 300 ? 1 : 6; }
  const Bytes& frame() const { return units_[0]; }
  const Range& anySlice(Random& random) const {
    return sliceRanges_[random.below(sliceRanges_.size())];
  }

  // Decodes frame 0 with damage, then the next clean frame, which must be exact.
  void decodeDamaged(const Bytes& damaged, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_EQ(host_.decode(damaged), ISTREL_STATUS_OK);
    ASSERT_EQ(host_.decode(units_.back()), ISTREL_STATUS_OK);
    EXPECT_EQ(hostMd5(*host_, units_.size() - 1), expectedMd5Lines(c_).at(units_.size() - 1))
        << "the next frame is not exact";
  }

  VectorCase c_;
  std::vector<Bytes> units_;
  std::vector<Range> sliceRanges_;
  Range sps_;  // the first sequence parameter set
  Range pps_;  // the picture parameter set after it
  Host host_;
};

TEST_P(Damage, CutFrames) {
  Random random(c_.name + "/cut");
  const std::size_t size = frame().size(), slice = sliceRanges_[0].offset;
  std::vector<std::size_t> cuts = {0, 3, slice, slice + 1, size - 1};
  for (std::size_t t = 0; t < trials(); ++t) cuts.push_back(random.below(size));
  for (std::size_t at : cuts) {
    const Bytes cut(frame().begin(), frame().begin() + static_cast<std::ptrdiff_t>(at));
    decodeDamaged(cut, "cut at " + std::to_string(at));
    if (HasFatalFailure()) return;
    // The parameter sets are read from a cut frame on a fresh handle: whole
    // sets are read as before, a cut set is refused, none is not an error.
    Host fresh;
    fresh->is422 = host_->is422;
    const std::size_t ppsEnd = pps_.offset + pps_.size;
    const bool whole = at >= ppsEnd || at <= sps_.offset;
    EXPECT_EQ(fresh.readAspect(cut), whole ? ISTREL_STATUS_OK : ISTREL_STATUS_PARAMETER_SET_ERROR)
        << "cut at " << at;
    EXPECT_EQ(fresh->parametersRead, at >= ppsEnd) << "cut at " << at;
    if (fresh->parametersRead) {
      EXPECT_EQ(fresh->sarWidth, host_->sarWidth);
      EXPECT_EQ(fresh->sarHeight, host_->sarHeight);
    }
  }
}

// Bits flipped, ranges zeroed (some to the end of the slice) and start codes
// inserted in the slices.
TEST_P(Damage, SliceBytes) {
  Random random(c_.name + "/slices");
  static const Bytes kCodes[] = {{0x00, 0x00, 0x01}, {0x00, 0x00, 0x01, kIdrSliceNal}};
  for (std::size_t t = 0; t < 4 * trials(); ++t) {
    Bytes damaged = frame();
    const Range& slice = anySlice(random);
    const std::size_t end = slice.offset + slice.size;
    std::size_t at = random.in(slice.offset + 1, end);
    std::ostringstream what;
    if (t % 4 < 2) {
      what << "bits flipped at";
      for (std::size_t n = 1 + random.below(4); n > 0; --n, at = random.in(slice.offset, end)) {
        const std::size_t bit = random.below(8);
        damaged[at] ^= static_cast<std::uint8_t>(1u << bit);
        what << " " << at << "." << bit;
      }
    } else if (t % 4 == 2) {
      const std::size_t to = random.below(4) == 0 ? end : std::min(end, at + 1 + random.below(64));
      std::fill(damaged.begin() + static_cast<std::ptrdiff_t>(at),
                damaged.begin() + static_cast<std::ptrdiff_t>(to), std::uint8_t{0});
      what << "zeroed " << at << "-" << to;
    } else {
      const Bytes& code = kCodes[t / 4 % 2];
      damaged.insert(damaged.begin() + static_cast<std::ptrdiff_t>(at), code.begin(), code.end());
      what << "start code of " << code.size() << " bytes at " << at;
    }
    decodeDamaged(damaged, what.str());
    if (HasFatalFailure()) return;
  }
}

// CAVLC 4:2:2 10-bit; CABAC 4:2:0 with I_PCM; MBAFF in ten CAVLC slices;
// CABAC lossless; CABAC in ten slices at 960x720.
INSTANTIATE_TEST_SUITE_P(Corruption, Damage,
                         testing::Values("cavlc_422_10bit", "cabac_420_8bit",
                                         "mbaff_cavlc_slices10_420_8bit",
                                         "cabac_lossless_422_10bit", "avci50_720p_420_10bit"),
                         [](const auto& info) { return info.param; });

// Decodes one frame of `parameterSets` and `slices` (IDR slice data) in the compatible mode.
void decodePcmFrame(H264::FrameDecoder& decoder, const Bytes& parameterSets,
                    const std::vector<Bytes>& slices) {
  Bytes frame = parameterSets;
  for (const Bytes& slice : slices) appendNal(frame, kIdrSliceNal, slice);
  Bytes priming = frame;
  ASSERT_TRUE(decoder.prime(priming.data(), static_cast<int>(priming.size())));
  decoder.decodeFrame(frame.data(), static_cast<int>(frame.size()));
}

// I_PCM slices of a 64x64 frame that overlap: a slice stops where the next
// one starts, whatever its data says, and of two slices that claim the same
// start the later one is cut, however damaged; a unit that merely looks like
// a slice (its header names no picture parameter set) stops none. The
// picture is whole.
TEST(SliceLimits, OverlappingSlicesStopAtTheNextStart) {
  for (bool cabac : {false, true}) {
    PcmStream s;
    s.cabac = cabac;
    const Bytes whole = pcm_detail::slice(s, 0, 16, 0, true);
    Bytes damaged = whole;
    damaged[damaged.size() / 2] ^= 0xFF;  // a sample of macroblock 7 or 8
    Bytes damagedFirst = whole;
    damagedFirst[damagedFirst.size() / 32] ^= 0xFF;  // a sample of macroblock 0
    BitWriter stray;
    stray.ue(8).ue(7).ue(5).trailing();
    const struct {
      std::vector<Bytes> slices;
      std::uint32_t firstSliceMacroblocks;
    } cases[] = {{{whole, pcm_detail::slice(s, 8, 16, 0, true)}, 8},
                 {{whole, damaged}, 16},
                 {{whole, damagedFirst}, 16},
                 {{stray.bytes(), whole}, 0}};
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << (cabac ? "CABAC " : "CAVLC ") << c.firstSliceMacroblocks);
      H264::FrameDecoder decoder;
      decodePcmFrame(decoder, pcmParameterSets(s), c.slices);
      EXPECT_EQ(decoder.core().sliceStatistics(0).macroblocks(), c.firstSliceMacroblocks);
      EXPECT_EQ(decoder.errorFlags(), 2u) << "no slice failed";
      EXPECT_EQ(pcmMismatches(decoder.picture(), s), 0);
    }
  }
}

// mb_qp_delta lies in [-(26 + QpBdOffsetY / 2), 25 + QpBdOffsetY / 2]
// (clause 7.4.5): two Intra_16x16 macroblocks without residual take the
// deltas, at 8 and 10 bits; a delta beyond either end fails the slice.
TEST(SliceLimits, MbQpDeltaRange) {
  for (int bitDepth : {8, 10}) {
    const int half = 3 * (bitDepth - 8);
    const struct {
      int first, second;
      unsigned errors;
    } cases[] = {{25 + half, -(26 + half), 0}, {26 + half, 0, 2}, {0, -(27 + half), 2}};
    for (const auto& c : cases) {
      PcmStream s;  // only its parameter sets: a 32x16 frame
      s.bitDepth = bitDepth;
      s.widthInMbs = 2;
      s.frameHeightInMbs = 1;
      BitWriter w;
      w.ue(0).ue(7).ue(0).bits(0, 4).ue(0).bit(0).bit(0).se(0).ue(1);
      // I_16x16_2_0_0, chroma DC, mb_qp_delta, an Intra16x16DCLevel block without coefficients.
      for (int delta : {c.first, c.second}) w.ue(3).ue(0).se(delta).bit(1);
      w.trailing();
      H264::FrameDecoder decoder;
      decodePcmFrame(decoder, pcmParameterSets(s), {w.bytes()});
      EXPECT_EQ(decoder.errorFlags(), c.errors)
          << bitDepth << " bits, " << c.first << " " << c.second;
    }
  }
}

}  // namespace
}  // namespace istrel::test
