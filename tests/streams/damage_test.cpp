// Damaged frames. Through the exported functions, handed over as a host does
// (copies of exactly the frame's size), a few representative vectors: every
// call ends in a documented status, the macroblocks of the slices the damage
// did not reach decode as in the clean frame, and the next clean frame is
// exact again. Then the limits of overlapping slices and of mb_qp_delta, on
// streams written here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "api/frame_decoder.h"
#include "api/frame_driver.h"
#include "base/errors.h"
#include "support/host.h"
#include "support/pcm_stream.h"
#include "support/vectors.h"
#include "syntax/slice_header.h"
#include "syntax/stream_parser.h"

namespace istrel::test {
namespace {

using tools::AnnexBStream;

struct Planes {
  std::vector<std::uint16_t> plane[3];
};

// A slice as the frame driver finds it.
struct Slice {
  std::uint8_t nalHeader;
  Bytes payload;
  bool operator==(const Slice&) const = default;
};

std::vector<Slice> slicesOf(Bytes frame) {
  std::vector<Slice> slices;
  for (const H264::WorkItem& item :
       H264::scanSlices(frame.data(), static_cast<int>(frame.size())).items) {
    auto first = frame.begin() + item.offset;
    slices.push_back(
        {static_cast<std::uint8_t>(item.nalHeader), Bytes(first, first + item.length)});
  }
  return slices;
}

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
  // Decodes into an output of exactly the size of the host fields; `output` keeps it.
  int decode(Bytes frame, bool full = true) {
    frame.reserve(1);
    output.assign(
        std::max<std::size_t>(H264::V210Geometry::of(h_->width, h_->height, full).bytes(), 1),
        kCanary);
    return AVCIDecodeFrame(nullptr, h_, frame.data(), static_cast<int>(frame.size()),
                           reinterpret_cast<char*>(output.data()), full);
  }
  bool outputUntouched() const {
    return std::all_of(output.begin(), output.end(), [](std::uint8_t b) { return b == kCanary; });
  }
  Planes planes() const {
    const H264::PictureFormat& f = h_->decoder->pictureFormat();
    const std::size_t sizes[3] = {std::size_t{f.lumaWidth} * f.lumaHeight,
                                  std::size_t{f.chromaWidth} * f.chromaHeight,
                                  std::size_t{f.chromaWidth} * f.chromaHeight};
    Planes p;
    for (int i = 0; i < 3; ++i) {
      const auto* samples = reinterpret_cast<const std::uint16_t*>(h_->planes[i]);
      p.plane[i].assign(samples, samples + sizes[i]);
    }
    return p;
  }

  Bytes output;
  static constexpr std::uint8_t kCanary = 0xA5;

 private:
  AVCIntraInfo* h_;
};

// Marks the macroblock cells (16x16 luma and the chroma under it, row by
// row) that the first `count` macroblocks of a slice with `header` cover.
void mark(std::vector<bool>& cells, std::uint64_t width, const H264::SliceHeader& header,
          std::uint64_t count) {
  const bool pairs = header.MbaffFrameFlag || header.field_pic_flag;
  const std::uint64_t first =
      std::uint64_t{header.first_mb_in_slice} * (header.MbaffFrameFlag ? 2 : 1);
  for (std::uint64_t a = first; a < first + count; ++a) {
    const std::uint64_t unit = header.MbaffFrameFlag ? a / 2 : a;
    const std::uint64_t cell = (pairs ? 2 * (unit / width) : unit / width) * width + unit % width;
    for (std::uint64_t c = cell; c <= cell + (pairs ? width : 0) && c < cells.size(); c += width) {
      cells[c] = true;
    }
  }
}

bool sameCell(const Planes& a, const Planes& b, const H264::PictureFormat& f, std::size_t cell) {
  const std::size_t x = cell % f.widthInMbs, y = cell / f.widthInMbs;
  for (int p = 0; p < 3; ++p) {
    const std::uint32_t w = p ? f.chromaWidth / f.widthInMbs : 16;
    const std::uint32_t h = p ? f.chromaHeight / f.heightInMbs : 16;
    const std::size_t stride = p ? f.chromaWidth : f.lumaWidth;
    for (std::uint32_t r = 0; r < h; ++r) {
      const auto at = static_cast<std::ptrdiff_t>((y * h + r) * stride + x * w);
      if (!std::equal(a.plane[p].begin() + at, a.plane[p].begin() + at + w,
                      b.plane[p].begin() + at)) {
        return false;
      }
    }
  }
  return true;
}

// The header of a slice as the decoder reads it; false when it cannot be read.
bool readHeader(const H264::H264Decoder& decoder, const Slice& slice, H264::SliceHeader& header) {
  H264::StreamParser parser(slice.payload.data(), static_cast<std::uint32_t>(slice.payload.size()),
                            H264::kSliceError);
  H264::ActiveParameters active;
  try {
    H264::parseSliceHeader(parser, decoder.parameters(), H264::nalRefIdc(slice.nalHeader),
                           H264::nalUnitType(slice.nalHeader), header, active);
  } catch (int) {
    return false;
  }
  return active.format.sameLayout(decoder.pictureFormat());
}

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

// A vector's first two frames (or its only one), where the parts of frame 0 lie, and frame 0
// decoded clean through the exported functions.
struct Clean {
  std::vector<Bytes> units;
  std::vector<Range> sliceRanges;
  Range sps;  // the first sequence parameter set
  Range pps;  // the picture parameter set after it
  std::vector<std::string> md5;
  Planes planes;
  H264::PictureFormat format;
  std::vector<Slice> slices;
  std::vector<std::vector<bool>> cells;  // of each slice
};

void open(Host& host, const VectorCase& c, const Clean& clean) {
  ASSERT_EQ(host->isOpen, 1);
  host->is422 = c.csp == "i422";
  host->height = c.height;
  ASSERT_EQ(host.readAspect(clean.units[0]), ISTREL_STATUS_OK);
  host->width = static_cast<int>(host->decoder->pictureFormat().lumaWidth);
}

void study(const VectorCase& c, Clean& r) {
  const AnnexBStream stream = tools::splitAnnexB(tools::readFile(c.path()));
  for (std::size_t i = 0; i < std::min<std::size_t>(stream.units.size(), 2); ++i) {
    r.units.push_back(unitBytes(stream, i));
  }
  const tools::AccessUnit& first = stream.units[0];
  for (std::size_t n = first.firstNal; n < first.firstNal + first.nalCount; ++n) {
    const tools::NalUnit& nal = stream.nals[n];
    const Range range{nal.offset - first.begin, nal.size};
    if (nal.isSlice()) r.sliceRanges.push_back(range);
    if (nal.type() == H264::kNalSps && !r.sps.size) r.sps = range;
    if (nal.type() == H264::kNalPps && r.sps.size && !r.pps.size) r.pps = range;
  }
  ASSERT_NE(r.pps.size, 0u) << "frame 0 carries no parameter sets";
  Host host;
  open(host, c, r);
  if (testing::Test::HasFatalFailure()) return;
  for (std::size_t i = 0; i < r.units.size(); ++i) {
    ASSERT_EQ(host.decode(r.units[i]), ISTREL_STATUS_OK);
    r.md5.push_back(hostMd5(*host, i));
    ASSERT_EQ(r.md5[i], expectedMd5Lines(c).at(i));
  }
  ASSERT_EQ(host.decode(r.units[0]), ISTREL_STATUS_OK);
  r.planes = host.planes();
  r.format = host->decoder->pictureFormat();
  r.slices = slicesOf(r.units[0]);
  for (std::size_t i = 0; i < r.slices.size(); ++i) {
    H264::SliceHeader header;
    ASSERT_TRUE(readHeader(*host->decoder, r.slices[i], header));
    r.cells.emplace_back(r.format.sizeInMbs);
    mark(r.cells.back(), r.format.widthInMbs, header,
         host->decoder->sliceStatistics(i).macroblocks());
  }
}

// The vectors are studied once for all the tests that damage them.
const Clean* cleanOf(const VectorCase& c) {
  static std::map<std::string, std::unique_ptr<Clean>> studied;
  std::unique_ptr<Clean>& entry = studied[c.name];
  if (!entry) {
    auto clean = std::make_unique<Clean>();
    study(c, *clean);
    if (testing::Test::HasFatalFailure()) return nullptr;
    entry = std::move(clean);
  }
  return entry.get();
}

class Damage : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    c_ = vectorNamed(GetParam());
    clean_ = cleanOf(c_);
    ASSERT_NE(clean_, nullptr);
    open(host_, c_, *clean_);
  }

  // Large pictures take fewer trials, to bound the run time.
  bool large() const { return c_.width * c_.height > 400 * 300; }
  std::size_t trials() const { return large() ? 1 : 6; }
  const Bytes& frame() const { return clean_->units[0]; }
  const Range& anySlice(Random& random) const {
    return clean_->sliceRanges[random.below(clean_->sliceRanges.size())];
  }

  // The next clean frame decodes exactly.
  void expectRecovery() {
    ASSERT_EQ(host_.decode(clean_->units.back()), ISTREL_STATUS_OK);
    EXPECT_EQ(hostMd5(*host_, clean_->md5.size() - 1), clean_->md5.back())
        << "the next frame is not exact";
  }

  // Decodes frame 0 with damage, then checks the macroblocks of the clean
  // slices still present whole, minus those any other slice of the damaged
  // frame reached, and the recovery on the next clean frame.
  void decodeDamaged(const Bytes& damaged, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_EQ(host_.decode(damaged), ISTREL_STATUS_OK);
    const Planes got = host_.planes();
    const H264::H264Decoder& decoder = *host_->decoder;
    const std::vector<Slice>& cleanSlices = clean_->slices;
    const std::vector<Slice> found = slicesOf(damaged);
    std::vector<bool> intact(cleanSlices.size(), false), reached(clean_->format.sizeInMbs);
    for (std::size_t i = 0; i < found.size(); ++i) {
      auto match = std::find(cleanSlices.begin(), cleanSlices.end(), found[i]);
      if (match != cleanSlices.end()) {
        intact[static_cast<std::size_t>(match - cleanSlices.begin())] = true;
        continue;
      }
      const std::uint32_t count = decoder.sliceStatistics(i).macroblocks();
      H264::SliceHeader header;
      if (!readHeader(decoder, found[i], header)) {
        // Decoded where its header said nothing could be: anything may be reached.
        if (count) reached.assign(reached.size(), true);
        continue;
      }
      // The macroblock in flight when a slice failed may be partly written.
      mark(reached, clean_->format.widthInMbs, header, count + 2);
    }
    // A slice another one wrote into predicts from what was written there:
    // only slices no damaged slice reached must decode as before.
    int wrong = 0;
    for (std::size_t j = 0; j < cleanSlices.size(); ++j) {
      if (!intact[j]) continue;
      bool overlapped = false;
      int differing = 0;
      for (std::size_t cell = 0; cell < reached.size(); ++cell) {
        if (!clean_->cells[j][cell]) continue;
        overlapped = overlapped || reached[cell];
        differing += !sameCell(got, clean_->planes, clean_->format, cell);
      }
      if (!overlapped) wrong += differing;
    }
    EXPECT_EQ(wrong, 0) << "macroblocks of undamaged slices differ from the clean decode";
    expectRecovery();
  }

  VectorCase c_;
  const Clean* clean_ = nullptr;
  Host host_;
};

TEST_P(Damage, CutFrames) {
  Random random(c_.name + "/cut");
  const std::size_t size = frame().size(), slice = clean_->sliceRanges[0].offset;
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
    const std::size_t ppsEnd = clean_->pps.offset + clean_->pps.size;
    const bool whole = at >= ppsEnd || at <= clean_->sps.offset;
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

// Host fields that do not fit the stream are refused without writing; those
// that fit deliver the same rows a full-height decode does.
TEST_P(Damage, HostFields) {
  const int width = host_->width, height = c_.height;
  const int codedHeight = static_cast<int>(clean_->format.lumaHeight);
  const bool is422 = host_->is422;
  ASSERT_EQ(host_.decode(frame()), ISTREL_STATUS_OK);
  const Bytes full = host_.output;
  ASSERT_EQ(host_.decode(frame(), false), ISTREL_STATUS_OK);
  const Bytes preview = host_.output;
  auto geometry = [width](int rows, bool fullSize) {
    return H264::V210Geometry::of(width, rows, fullSize);
  };
  const int referenceRows[2] = {geometry(height, false).rowsWritten(),
                                geometry(height, true).rowsWritten()};
  auto set = [this](int w, int h, bool four22) {
    host_->width = w, host_->height = h, host_->is422 = four22;
  };
  struct Fields {
    int width, height;
    bool is422;
  };
  std::vector<Fields> refused;
  for (int w : {width + 16, width - 16, width + 2, width - 1, 0, -width}) {
    refused.push_back({w, height, is422});
  }
  for (int h : {codedHeight + 1, codedHeight + 16, -1, -height}) {
    refused.push_back({width, h, is422});
  }
  if (!is422) refused.push_back({width, height, true});
  for (const Fields& f : refused) {
    set(f.width, f.height, f.is422);
    for (bool fullSize : {true, false}) {
      EXPECT_EQ(host_.decode(frame(), fullSize), ISTREL_STATUS_REFUSED)
          << f.width << "x" << f.height << " is422 " << f.is422 << " full " << fullSize;
      EXPECT_TRUE(host_.outputUntouched()) << f.width << "x" << f.height;
    }
  }
  std::vector<int> accepted = {codedHeight, height - 6, height / 2 + 1, 0};
  if (large()) accepted.erase(accepted.begin(), accepted.begin() + 2);
  for (int rowsAsked : accepted) {
    set(width, rowsAsked, is422);
    for (bool fullSize : {false, true}) {
      ASSERT_EQ(host_.decode(frame(), fullSize), ISTREL_STATUS_OK) << rowsAsked;
      const H264::V210Geometry asked = geometry(rowsAsked, fullSize);
      const int rows = std::min(asked.rowsWritten(), referenceRows[fullSize]);
      const std::size_t bytes = std::size_t(asked.rowBytes) * std::size_t(rows);
      const Bytes& reference = fullSize ? full : preview;
      ASSERT_LE(bytes, reference.size());
      EXPECT_TRUE(std::equal(host_.output.begin(),
                             host_.output.begin() + static_cast<std::ptrdiff_t>(bytes),
                             reference.begin()))
          << "height " << rowsAsked << " full " << fullSize;
    }
  }
  if (is422) {
    set(width, height, false);  // 4:2:0 rows of a 4:2:2 picture: every chroma row read exists
    EXPECT_EQ(host_.decode(frame()), ISTREL_STATUS_OK);
  }
  set(width, height, is422);
  expectRecovery();
  ASSERT_EQ(host_.decode(frame()), ISTREL_STATUS_OK);
  EXPECT_EQ(host_.output, full);
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
// start the later one is cut, however damaged. The picture is whole.
TEST(SliceLimits, OverlappingSlicesStopAtTheNextStart) {
  for (bool cabac : {false, true}) {
    PcmStream s;
    s.cabac = cabac;
    const Bytes whole = pcm_detail::slice(s, 0, 16, 0, true);
    Bytes damaged = whole;
    damaged[damaged.size() / 2] ^= 0xFF;  // a sample of macroblock 7 or 8
    Bytes damagedFirst = whole;
    damagedFirst[damagedFirst.size() / 32] ^= 0xFF;  // a sample of macroblock 0
    const struct {
      std::vector<Bytes> slices;
      std::uint32_t firstSliceMacroblocks;
    } cases[] = {{{whole, pcm_detail::slice(s, 8, 16, 0, true)}, 8},
                 {{whole, damaged}, 16},
                 {{whole, damagedFirst}, 16}};
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << (cabac ? "CABAC " : "CAVLC ") << c.firstSliceMacroblocks);
      H264::FrameDecoder decoder;
      decodePcmFrame(decoder, pcmParameterSets(s), c.slices);
      EXPECT_EQ(decoder.core().sliceStatistics(0).macroblocks(), c.firstSliceMacroblocks);
      EXPECT_EQ(decoder.errorFlags(), 2u) << "one slice ran into the other";
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
