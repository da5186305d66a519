// Damaged frames through the exported functions, handed over as a host does
// (a heap block of exactly the frame's size): every call ends in a
// documented status, the macroblocks of the slices the damage did not reach
// decode as in the clean frame, and the next clean frame is exact again.
#include <gtest/gtest.h>
#include <zonmediatypes/pixel_format.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "api/frame_driver.h"
#include "base/errors.h"
#include "common/annexb_file.h"
#include "common/picture_view.h"
#include "common/stream_summary.h"
#include "core/h264_decoder.h"
#include "istrel/istrel.h"
#include "support/vectors.h"
#include "syntax/parameters_decoder.h"
#include "syntax/slice_header.h"
#include "syntax/stream_parser.h"

namespace {

using istrel::test::VectorCase;
using namespace istrel::tools;
using Bytes = std::vector<std::uint8_t>;

std::size_t v210Size(int width, int height, bool full) {
  int step = full ? 1 : 2;
  if (width <= 0 || height <= 0) return 0;
  return static_cast<std::size_t>(zonmediatypes::UncompressedPixelFormatRowBytes(
             zonmediatypes::kPixelFormat_V210_422_10u_709, width / step)) *
         static_cast<std::size_t>(height / step);
}

// A heap block of exactly `size` bytes, so that any access past the data or
// the output is caught by the sanitizers.
struct Block {
  explicit Block(std::size_t n) : size(n), data(new std::uint8_t[n]) {}
  explicit Block(const Bytes& bytes) : Block(bytes.size()) {
    std::copy(bytes.begin(), bytes.end(), data.get());
  }
  std::size_t size;
  std::unique_ptr<std::uint8_t[]> data;
};

struct Planes {
  std::vector<std::uint16_t> plane[3];
};

// A decoded slice as the frame driver finds it.
struct Slice {
  std::uint8_t nalHeader;
  Bytes payload;
};

std::vector<Slice> slicesOf(const Bytes& frame) {
  Bytes copy = frame;
  std::vector<Slice> slices;
  for (const H264::WorkItem& item :
       H264::scanSlices(copy.data(), static_cast<int>(copy.size())).items) {
    auto first = copy.begin() + item.offset;
    slices.push_back(
        {static_cast<std::uint8_t>(item.nalHeader), Bytes(first, first + item.length)});
  }
  return slices;
}

class Host {
 public:
  Host() : h_(AVCINewTepDecoder()) {
    if (h_) AVCIFileOpen(h_);
  }
  ~Host() {
    AVCIFileClose(h_);
    AVCIntraDispose(h_);
  }
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  AVCIntraInfo& operator*() const { return *h_; }
  AVCIntraInfo* operator->() const { return h_; }

  int readAspect(const Bytes& frame) {
    Block data(frame);
    return AVCIReadAspectRatio(h_, data.data.get(), static_cast<int>(data.size));
  }
  // Decodes into an output block sized for the host fields; `output` keeps it.
  int decode(const Bytes& frame, bool full = true) {
    Block data(frame);
    Block out(std::max<std::size_t>(v210Size(h_->width, h_->height, full), 1));
    std::fill_n(out.data.get(), out.size, kCanary);
    int status = AVCIDecodeFrame(nullptr, h_, data.data.get(), static_cast<int>(data.size),
                                 reinterpret_cast<char*>(out.data.get()), full);
    output.assign(out.data.get(), out.data.get() + out.size);
    return status;
  }
  bool outputUntouched() const {
    return std::all_of(output.begin(), output.end(), [](std::uint8_t b) { return b == kCanary; });
  }

  Planes planes() const {
    const H264::PictureFormat& f = h_->decoder->pictureFormat();
    std::size_t sizes[3] = {std::size_t{f.lumaWidth} * f.lumaHeight,
                            std::size_t{f.chromaWidth} * f.chromaHeight,
                            std::size_t{f.chromaWidth} * f.chromaHeight};
    Planes p;
    for (int i = 0; i < 3; ++i) {
      const auto* samples = reinterpret_cast<const std::uint16_t*>(h_->planes[i]);
      p.plane[i].assign(samples, samples + sizes[i]);
    }
    return p;
  }

  std::string md5(std::size_t index, const H264::SeqParameterSet& sps) const {
    const std::uint16_t* planes[3];
    for (int p = 0; p < 3; ++p) planes[p] = reinterpret_cast<const std::uint16_t*>(h_->planes[p]);
    const H264::PictureFormat& f = h_->decoder->pictureFormat();
    const std::ptrdiff_t strides[3] = {f.lumaWidth, f.chromaWidth, f.chromaWidth};
    return md5Line(index, displayWindow(sps, planes, strides));
  }

  std::vector<std::uint8_t> output;
  static constexpr std::uint8_t kCanary = 0xA5;

 private:
  AVCIntraInfo* h_;
};

// Macroblock cells (16x16 luma and the chroma under it) of a picture.
class CellMap {
 public:
  explicit CellMap(const H264::PictureFormat& f)
      : width_(f.widthInMbs), height_(f.heightInMbs), marks_(std::size_t{width_} * height_) {}

  // Marks the cells that macroblocks [first, last) of a slice with `header`
  // cover.
  void mark(const H264::SliceHeader& header, std::uint64_t first, std::uint64_t last) {
    for (std::uint64_t a = first; a < last; ++a) {
      if (header.MbaffFrameFlag) {
        std::uint64_t pair = a / 2;
        set(pair % width_, 2 * (pair / width_));
        set(pair % width_, 2 * (pair / width_) + 1);
      } else if (header.field_pic_flag) {
        set(a % width_, 2 * (a / width_));
        set(a % width_, 2 * (a / width_) + 1);
      } else {
        set(a % width_, a / width_);
      }
    }
  }
  void markAll() { std::fill(marks_.begin(), marks_.end(), true); }
  bool marked(std::uint32_t x, std::uint32_t y) const {
    return marks_[std::size_t{y} * width_ + x];
  }
  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }

 private:
  void set(std::uint64_t x, std::uint64_t y) {
    if (y < height_) marks_[y * width_ + x] = true;
  }
  std::uint32_t width_;
  std::uint32_t height_;
  std::vector<bool> marks_;
};

bool sameCell(const Planes& a, const Planes& b, const H264::PictureFormat& f, std::uint32_t x,
              std::uint32_t y) {
  std::uint32_t cw = f.chromaWidth / f.widthInMbs;
  std::uint32_t ch = f.chromaHeight / f.heightInMbs;
  for (int p = 0; p < 3; ++p) {
    std::uint32_t w = p == 0 ? 16 : cw;
    std::uint32_t hgt = p == 0 ? 16 : ch;
    std::size_t stride = p == 0 ? f.lumaWidth : f.chromaWidth;
    for (std::uint32_t r = 0; r < hgt; ++r) {
      std::size_t at = (std::size_t{y} * hgt + r) * stride + std::size_t{x} * w;
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
    H264::parseSliceHeader(parser, decoder.parameters(), (slice.nalHeader >> 5) & 3,
                           slice.nalHeader & 31, header, active);
  } catch (int) {
    return false;
  }
  return active.format.sameLayout(decoder.pictureFormat());
}

std::uint64_t firstAddress(const H264::SliceHeader& header) {
  return std::uint64_t{header.first_mb_in_slice} * (header.MbaffFrameFlag ? 2 : 1);
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

// The slice NAL units of frame 0, as escaped bytes [offset, offset + size).
struct Range {
  std::size_t offset;
  std::size_t size;
};

// A committed vector: its first frames, where their parts lie, and frame 0
// decoded clean through the exported functions.
struct Clean {
  AnnexBStream stream;
  StreamSummary summary;
  std::vector<Bytes> units;  // the first two access units
  std::vector<Range> sliceRanges;
  Range sps{};  // the first sequence parameter set
  Range pps{};  // the picture parameter set after it
  std::vector<std::string> md5;
  Planes planes;
  H264::PictureFormat format;
  std::vector<Slice> slices;
  std::vector<H264::SliceHeader> headers;
  std::vector<std::uint32_t> counts;  // macroblocks per slice
};

void open(Host& host, const VectorCase& c, const Clean& clean) {
  ASSERT_NE(&*host, nullptr);
  ASSERT_EQ(host->isOpen, 1);
  host->is422 = c.csp == "i422";
  host->width =
      static_cast<int>(H264::PictureFormat::of(*clean.summary.parameters.sps(0)).lumaWidth);
  host->height = c.height;
  ASSERT_EQ(host.readAspect(clean.units[0]), ISTREL_STATUS_OK);
  ASSERT_EQ(host->parametersRead, 1);
}

void study(const VectorCase& c, Clean& r) {
  r.stream = splitAnnexB(readFile(c.path()));
  summarise(r.stream, r.summary);
  const H264::SeqParameterSet* sps = r.summary.parameters.sps(0);
  ASSERT_NE(sps, nullptr);
  for (std::size_t i = 0; i < std::min<std::size_t>(r.stream.units.size(), 2); ++i) {
    const AccessUnit& u = r.stream.units[i];
    r.units.emplace_back(r.stream.bytes.begin() + static_cast<std::ptrdiff_t>(u.begin),
                         r.stream.bytes.begin() + static_cast<std::ptrdiff_t>(u.end));
  }
  const AccessUnit& first = r.stream.units[0];
  for (std::size_t n = first.firstNal; n < first.firstNal + first.nalCount; ++n) {
    const NalUnit& nal = r.stream.nals[n];
    std::size_t offset = nal.offset - first.begin;
    if (nal.isSlice()) r.sliceRanges.push_back({offset, nal.size});
    if (nal.type() == 7 && !r.sps.size) r.sps = {offset, nal.size};
    if (nal.type() == 8 && r.sps.size && !r.pps.size) r.pps = {offset, nal.size};
  }
  ASSERT_NE(r.pps.size, 0u) << "frame 0 carries no parameter sets";

  Host host;
  open(host, c, r);
  if (testing::Test::HasFatalFailure()) return;
  std::vector<std::string> expected = istrel::test::expectedMd5Lines(c);
  for (std::size_t i = 0; i < r.units.size(); ++i) {
    ASSERT_EQ(host.decode(r.units[i]), ISTREL_STATUS_OK);
    r.md5.push_back(host.md5(i, *sps));
    if (!istrel::test::compatibleModeDeviates(c)) {
      ASSERT_EQ(r.md5[i], expected.at(i));
    }
  }
  ASSERT_EQ(host.decode(r.units[0]), ISTREL_STATUS_OK);
  r.planes = host.planes();
  r.format = host->decoder->pictureFormat();
  r.slices = slicesOf(r.units[0]);
  for (std::size_t i = 0; i < r.slices.size(); ++i) {
    H264::SliceHeader header;
    ASSERT_TRUE(readHeader(*host->decoder, r.slices[i], header));
    r.headers.push_back(header);
    r.counts.push_back(host->decoder->sliceStatistics(static_cast<int>(i)).macroblocks());
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

class Damage : public testing::TestWithParam<VectorCase> {
 protected:
  void SetUp() override {
    c_ = GetParam();
    if (c_.csp == "i444") GTEST_SKIP() << "the exported functions refuse 4:4:4";
    const Clean* clean = cleanOf(c_);
    ASSERT_NE(clean, nullptr);
    sps_ = clean->summary.parameters.sps(0);
    units_ = clean->units;
    sliceRanges_ = clean->sliceRanges;
    spsRange_ = clean->sps;
    ppsRange_ = clean->pps;
    cleanMd5_ = clean->md5;
    clean_ = clean->planes;
    format_ = clean->format;
    cleanSlices_ = clean->slices;
    cleanHeaders_ = clean->headers;
    cleanCounts_ = clean->counts;
    open(host_, c_, *clean);
  }

  // Large pictures take fewer trials, to bound the run time.
  bool large() const { return c_.width * c_.height > 400 * 300; }
  std::size_t trials() const { return large() ? 1 : 6; }

  // Decodes `damaged` (frame 0 with damage), then checks the macroblocks of
  // the clean slices still present whole, minus those any other slice of
  // the damaged frame reached, and the recovery on the next clean frame.
  void decodeDamaged(const Bytes& damaged, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_EQ(host_.decode(damaged), ISTREL_STATUS_OK);
    Planes got = host_.planes();
    const H264::H264Decoder& decoder = *host_->decoder;

    std::vector<Slice> found = slicesOf(damaged);
    std::vector<bool> intact(cleanSlices_.size(), false);
    CellMap reached(format_);
    for (std::size_t i = 0; i < found.size(); ++i) {
      auto same = [&](const Slice& s) {
        return s.nalHeader == found[i].nalHeader && s.payload == found[i].payload;
      };
      auto match = std::find_if(cleanSlices_.begin(), cleanSlices_.end(), same);
      if (match != cleanSlices_.end()) {
        intact[static_cast<std::size_t>(match - cleanSlices_.begin())] = true;
        continue;
      }
      std::uint32_t count = decoder.sliceStatistics(static_cast<int>(i)).macroblocks();
      H264::SliceHeader header;
      if (!readHeader(decoder, found[i], header)) {
        if (count) reached.markAll();  // decoded where its header said nothing could be
        continue;
      }
      // The macroblock in flight when a slice failed may be partly written.
      std::uint64_t first = firstAddress(header);
      reached.mark(header, first, first + count + 2);
    }

    // A slice another one wrote into predicts from what was written there:
    // only slices no damaged slice reached must decode as before.
    int wrong = 0;
    for (std::size_t j = 0; j < cleanSlices_.size(); ++j) {
      if (!intact[j]) continue;
      CellMap own(format_);
      std::uint64_t first = firstAddress(cleanHeaders_[j]);
      own.mark(cleanHeaders_[j], first, first + cleanCounts_[j]);
      bool overlapped = false;
      int differing = 0;
      for (std::uint32_t y = 0; y < own.height(); ++y) {
        for (std::uint32_t x = 0; x < own.width(); ++x) {
          if (!own.marked(x, y)) continue;
          overlapped = overlapped || reached.marked(x, y);
          if (!sameCell(got, clean_, format_, x, y)) ++differing;
        }
      }
      if (!overlapped) wrong += differing;
    }
    EXPECT_EQ(wrong, 0) << "macroblocks of undamaged slices differ from the clean decode";

    std::size_t next = units_.size() - 1;
    ASSERT_EQ(host_.decode(units_[next]), ISTREL_STATUS_OK);
    EXPECT_EQ(host_.md5(next, *sps_), cleanMd5_[next]) << "the next clean frame is not exact";
  }

  const Range& anySlice(Random& random) const {
    return sliceRanges_[random.below(sliceRanges_.size())];
  }

  VectorCase c_;
  const H264::SeqParameterSet* sps_ = nullptr;
  std::vector<Bytes> units_;
  std::vector<Range> sliceRanges_;
  Range spsRange_{};
  Range ppsRange_{};
  Host host_;
  std::vector<std::string> cleanMd5_;
  Planes clean_;
  H264::PictureFormat format_;
  std::vector<Slice> cleanSlices_;
  std::vector<H264::SliceHeader> cleanHeaders_;
  std::vector<std::uint32_t> cleanCounts_;
};

TEST_P(Damage, CutFrames) {
  Random random(c_.name + "/cut");
  const std::size_t size = units_[0].size();
  std::vector<std::size_t> cuts = {0, 3, sliceRanges_[0].offset, sliceRanges_[0].offset + 1,
                                   size - 1};
  for (std::size_t t = 0; t < trials(); ++t) cuts.push_back(random.below(size));
  for (std::size_t at : cuts) {
    Bytes cut(units_[0].begin(), units_[0].begin() + static_cast<std::ptrdiff_t>(at));
    decodeDamaged(cut, "cut at " + std::to_string(at));
    if (HasFatalFailure()) return;

    // The parameter sets are read from a cut frame on a fresh handle: whole
    // sets are read as before, a cut set is refused, none is not an error.
    Host fresh;
    fresh->is422 = host_->is422;
    int status = fresh.readAspect(cut);
    std::size_t ppsEnd = ppsRange_.offset + ppsRange_.size;
    int expected = at >= ppsEnd || at <= spsRange_.offset ? ISTREL_STATUS_OK
                                                          : ISTREL_STATUS_PARAMETER_SET_ERROR;
    EXPECT_EQ(status, expected) << "cut at " << at;
    EXPECT_EQ(fresh->parametersRead, at >= ppsEnd) << "cut at " << at;
    if (fresh->parametersRead) {
      EXPECT_EQ(fresh->sarWidth, host_->sarWidth);
      EXPECT_EQ(fresh->sarHeight, host_->sarHeight);
    }
  }
}

TEST_P(Damage, FlippedBits) {
  Random random(c_.name + "/flip");
  for (std::size_t t = 0; t < 2 * trials(); ++t) {
    Bytes damaged = units_[0];
    const Range& slice = anySlice(random);
    std::ostringstream what;
    what << "bits flipped at";
    for (std::size_t n = 1 + random.below(4); n > 0; --n) {
      std::size_t at = random.in(slice.offset, slice.offset + slice.size);
      std::size_t bit = random.below(8);
      damaged[at] ^= static_cast<std::uint8_t>(1u << bit);
      what << " " << at << "." << bit;
    }
    decodeDamaged(damaged, what.str());
    if (HasFatalFailure()) return;
  }
}

// Parameter sets read again from a damaged frame: a set refused leaves the
// ones read before in use, and reading the clean sets again restores all.
TEST_P(Damage, ParameterSetBits) {
  Random random(c_.name + "/sets");
  const int sarWidth = host_->sarWidth;
  const int sarHeight = host_->sarHeight;
  for (std::size_t t = 0; t < 2 * trials(); ++t) {
    Bytes damaged = units_[0];
    const Range& set = t % 2 ? spsRange_ : ppsRange_;
    std::ostringstream what;
    what << "bits flipped at";
    for (std::size_t n = 1 + random.below(2); n > 0; --n) {
      std::size_t at = random.in(set.offset + 1, set.offset + set.size);
      std::size_t bit = random.below(8);
      damaged[at] ^= static_cast<std::uint8_t>(1u << bit);
      what << " " << at << "." << bit;
    }
    SCOPED_TRACE(what.str());
    int status = host_.readAspect(damaged);
    ASSERT_TRUE(status == ISTREL_STATUS_OK || status == ISTREL_STATUS_PARAMETER_SET_ERROR)
        << status;
    EXPECT_EQ(host_->parametersRead, 1);
    std::size_t next = units_.size() - 1;
    if (status == ISTREL_STATUS_PARAMETER_SET_ERROR) {
      EXPECT_EQ(host_->sarWidth, sarWidth);
      EXPECT_EQ(host_->sarHeight, sarHeight);
      ASSERT_EQ(host_.decode(units_[next]), ISTREL_STATUS_OK);
      EXPECT_EQ(host_.md5(next, *sps_), cleanMd5_[next]) << "a refused set replaced a good one";
    } else {
      int decoded = host_.decode(damaged);
      EXPECT_TRUE(decoded == ISTREL_STATUS_OK || decoded == ISTREL_STATUS_REFUSED) << decoded;
    }
    ASSERT_EQ(host_.readAspect(units_[0]), ISTREL_STATUS_OK);
    ASSERT_EQ(host_.decode(units_[next]), ISTREL_STATUS_OK);
    EXPECT_EQ(host_.md5(next, *sps_), cleanMd5_[next]);
  }
}

TEST_P(Damage, ZeroedRanges) {
  Random random(c_.name + "/zero");
  for (std::size_t t = 0; t < trials(); ++t) {
    Bytes damaged = units_[0];
    const Range& slice = anySlice(random);
    std::size_t from = random.in(slice.offset + 1, slice.offset + slice.size);
    std::size_t end = slice.offset + slice.size;
    std::size_t to = random.below(4) == 0 ? end : std::min(end, from + 1 + random.below(64));
    std::fill(damaged.begin() + static_cast<std::ptrdiff_t>(from),
              damaged.begin() + static_cast<std::ptrdiff_t>(to), std::uint8_t{0});
    decodeDamaged(damaged, "zeroed " + std::to_string(from) + "-" + std::to_string(to));
    if (HasFatalFailure()) return;
  }
}

TEST_P(Damage, InsertedStartCodes) {
  Random random(c_.name + "/start");
  static const Bytes kCodes[] = {{0x00, 0x00, 0x01}, {0x00, 0x00, 0x01, 0x65}};
  for (std::size_t t = 0; t < trials(); ++t) {
    Bytes damaged = units_[0];
    const Range& slice = anySlice(random);
    std::size_t at = random.in(slice.offset + 1, slice.offset + slice.size);
    const Bytes& code = kCodes[t % 2];
    damaged.insert(damaged.begin() + static_cast<std::ptrdiff_t>(at), code.begin(), code.end());
    decodeDamaged(damaged, "start code of " + std::to_string(code.size()) + " bytes at " +
                               std::to_string(at));
    if (HasFatalFailure()) return;
  }
}

// Host fields that do not fit the stream are refused without writing; those
// that fit deliver the same rows a full-height decode does.
TEST_P(Damage, HostFields) {
  const int width = host_->width;
  const int codedHeight = static_cast<int>(format_.lumaHeight);
  const bool is422 = host_->is422;
  ASSERT_EQ(host_.decode(units_[0]), ISTREL_STATUS_OK);
  const Bytes full = host_.output;
  ASSERT_EQ(host_.decode(units_[0], false), ISTREL_STATUS_OK);
  const Bytes preview = host_.output;
  const int referenceRows[2] = {c_.height / 6 * 6, c_.height / 2 / 3 * 3};

  struct Fields {
    int width;
    int height;
    bool is422;
  };
  std::vector<Fields> refused = {{width + 16, c_.height, is422},
                                 {width - 16, c_.height, is422},
                                 {width + 2, c_.height, is422},
                                 {width - 1, c_.height, is422},
                                 {0, c_.height, is422},
                                 {-width, c_.height, is422},
                                 {width, codedHeight + 1, is422},
                                 {width, codedHeight + 16, is422},
                                 {width, -1, is422},
                                 {width, -c_.height, is422}};
  if (!is422) refused.push_back({width, c_.height, true});
  for (const Fields& f : refused) {
    host_->width = f.width;
    host_->height = f.height;
    host_->is422 = f.is422;
    for (bool fullSize : {true, false}) {
      int status = host_.decode(units_[0], fullSize);
      EXPECT_EQ(status, ISTREL_STATUS_REFUSED)
          << f.width << "x" << f.height << " is422 " << f.is422 << " full " << fullSize;
      EXPECT_TRUE(host_.outputUntouched()) << f.width << "x" << f.height;
    }
  }

  std::vector<Fields> accepted = {{width, codedHeight, is422},
                                  {width, c_.height - 6, is422},
                                  {width, c_.height / 2 + 1, is422},
                                  {width, 0, is422}};
  if (large()) accepted.erase(accepted.begin(), accepted.begin() + 2);
  for (const Fields& f : accepted) {
    host_->width = f.width;
    host_->height = f.height;
    host_->is422 = f.is422;
    for (bool fullSize : {true, false}) {
      ASSERT_EQ(host_.decode(units_[0], fullSize), ISTREL_STATUS_OK) << f.height;
      // The stripes convert whole multiples of their count of rows.
      int stripes = fullSize ? 6 : 3;
      int rows = f.height / (fullSize ? 1 : 2) / stripes * stripes;
      rows = std::min(rows, referenceRows[fullSize ? 0 : 1]);
      std::size_t bytes = v210Size(width, rows * (fullSize ? 1 : 2), fullSize);
      const Bytes& reference = fullSize ? full : preview;
      ASSERT_LE(bytes, reference.size());
      EXPECT_TRUE(std::equal(host_.output.begin(),
                             host_.output.begin() + static_cast<std::ptrdiff_t>(bytes),
                             reference.begin()))
          << "height " << f.height << " full " << fullSize;
    }
  }
  if (is422) {
    // 4:2:0 row mapping of a 4:2:2 picture: every chroma row read exists.
    host_->height = c_.height;
    host_->is422 = false;
    EXPECT_EQ(host_.decode(units_[0]), ISTREL_STATUS_OK);
  }

  host_->width = width;
  host_->height = c_.height;
  host_->is422 = is422;
  std::size_t next = units_.size() - 1;
  ASSERT_EQ(host_.decode(units_[next]), ISTREL_STATUS_OK);
  EXPECT_EQ(host_.md5(next, *sps_), cleanMd5_[next]);
  ASSERT_EQ(host_.decode(units_[0]), ISTREL_STATUS_OK);
  EXPECT_EQ(host_.output, full);
}

INSTANTIATE_TEST_SUITE_P(Corruption, Damage, testing::ValuesIn(istrel::test::loadVectorManifest()),
                         [](const testing::TestParamInfo<VectorCase>& info) {
                           return info.param.name;
                         });

}  // namespace
