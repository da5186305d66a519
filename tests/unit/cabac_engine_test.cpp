#include "macroblock/cabac_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "support/bit_writer.h"
#include "syntax/stream_parser.h"

namespace H264 {
namespace {

using istrel::test::BitWriter;

// The encoder of clause 9.3.4.2, written as plainly as the standard states it,
// so that the decoder is checked against the arithmetic from the other side.
class ReferenceEncoder {
 public:
  explicit ReferenceEncoder(BitWriter& out) : out_(out) {}

  // InitEncoder, also after the samples of an I_PCM macroblock.
  void init() {
    low_ = 0;
    range_ = 510;
    firstBitFlag_ = true;
    bitsOutstanding_ = 0;
  }

  void encodeDecision(ContextVariable& ctx, int binVal) {
    const unsigned qCodIRangeIdx = (range_ >> 6) & 3;
    const unsigned rangeLps = kRangeTabLps[ctx.pStateIdx][qCodIRangeIdx];
    range_ -= rangeLps;
    if (binVal != ctx.valMPS) {
      low_ += range_;
      range_ = rangeLps;
      if (ctx.pStateIdx == 0) ctx.valMPS = static_cast<std::uint8_t>(1 - ctx.valMPS);
      ctx.pStateIdx = kTransIdxLps[ctx.pStateIdx];
    } else {
      ctx.pStateIdx = kTransIdxMps[ctx.pStateIdx];
    }
    renormE();
  }

  void encodeBypass(int binVal) {
    low_ <<= 1;
    if (binVal) low_ += range_;
    if (low_ >= 1024) {
      putBit(1);
      low_ -= 1024;
    } else if (low_ < 512) {
      putBit(0);
    } else {
      low_ -= 512;
      ++bitsOutstanding_;
    }
  }

  void encodeTerminate(int binVal) {
    range_ -= 2;
    if (binVal) {
      low_ += range_;
      encodeFlush();
    } else {
      renormE();
    }
  }

 private:
  void renormE() {
    while (range_ < 256) {
      if (low_ < 256) {
        putBit(0);
      } else if (low_ >= 512) {
        low_ -= 512;
        putBit(1);
      } else {
        low_ -= 256;
        ++bitsOutstanding_;
      }
      range_ <<= 1;
      low_ <<= 1;
    }
  }

  void putBit(unsigned b) {
    if (firstBitFlag_) {
      firstBitFlag_ = false;
    } else {
      out_.bit(b);
    }
    for (; bitsOutstanding_ > 0; --bitsOutstanding_) out_.bit(1 - b);
  }

  // Its last bit, always 1, is the rbsp_stop_one_bit at the end of a slice.
  void encodeFlush() {
    range_ = 2;
    renormE();
    putBit((low_ >> 9) & 1);
    out_.bits(((low_ >> 7) & 3) | 1, 2);
  }

  BitWriter& out_;
  unsigned low_ = 0;
  unsigned range_ = 510;
  bool firstBitFlag_ = true;
  int bitsOutstanding_ = 0;
};

// The decoder of clause 9.3.3.2 bit by bit over a StreamParser: the model that
// CabacEngine must match bin for bin and bit position for bit position.
class ReferenceDecoder {
 public:
  ReferenceDecoder(const std::vector<std::uint8_t>& bytes, std::size_t byteOffset)
      : in_(bytes.data(), static_cast<std::uint32_t>(bytes.size())) {
    for (std::size_t i = 0; i < byteOffset; ++i) in_.skipBits(8);
    offset_ = in_.readBits(9);
  }

  bool startRejected() const { return offset_ >= 510; }
  std::size_t bitPosition() const { return in_.bitOffset(); }

  int decodeDecision(ContextVariable& ctx) {
    const unsigned rangeLps = kRangeTabLps[ctx.pStateIdx][(range_ >> 6) & 3];
    range_ -= rangeLps;
    int binVal;
    if (offset_ >= range_) {
      binVal = 1 - ctx.valMPS;
      offset_ -= range_;
      range_ = rangeLps;
      if (ctx.pStateIdx == 0) ctx.valMPS = static_cast<std::uint8_t>(1 - ctx.valMPS);
      ctx.pStateIdx = kTransIdxLps[ctx.pStateIdx];
    } else {
      binVal = ctx.valMPS;
      ctx.pStateIdx = kTransIdxMps[ctx.pStateIdx];
    }
    renormD();
    return binVal;
  }

  int decodeBypass() {
    offset_ = (offset_ << 1) | in_.readBit();
    if (offset_ < range_) return 0;
    offset_ -= range_;
    return 1;
  }

  int decodeTerminate() {
    range_ -= 2;
    if (offset_ >= range_) return 1;
    renormD();
    return 0;
  }

 private:
  void renormD() {
    while (range_ < 256) {
      range_ <<= 1;
      offset_ = (offset_ << 1) | in_.readBit();
    }
  }

  StreamParser in_;
  unsigned range_ = 510;
  unsigned offset_;
};

enum class BinKind { kDecision, kBypass, kTerminate };

struct Bin {
  BinKind kind;
  int ctxIdx;  // decisions only
  int value;
};

using Contexts = std::vector<ContextVariable>;

// Base of the pseudo-random seeds; ISTREL_TEST_SEED replaces it to explore.
std::uint32_t baseSeed() {
  const char* text = std::getenv("ISTREL_TEST_SEED");
  return text ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10)) : 20240611u;
}

std::mt19937 seededRng(std::uint32_t seed) {
  std::printf("[   seed   ] %u\n", seed);
  return std::mt19937(seed);
}

// Random states for every context, 276 as initialised.
Contexts randomContexts(std::mt19937& rng) {
  Contexts contexts(kContextCount);
  for (ContextVariable& ctx : contexts) {
    ctx.pStateIdx = static_cast<std::uint8_t>(rng() % 63);
    ctx.valMPS = static_cast<std::uint8_t>(rng() & 1);
  }
  contexts[kTerminateCtxIdx] = ContextVariable{63, 0};
  return contexts;
}

void encodeBins(ReferenceEncoder& encoder, Contexts& contexts, const std::vector<Bin>& bins) {
  for (const Bin& bin : bins) {
    switch (bin.kind) {
      case BinKind::kDecision:
        encoder.encodeDecision(contexts[bin.ctxIdx], bin.value);
        break;
      case BinKind::kBypass:
        encoder.encodeBypass(bin.value);
        break;
      case BinKind::kTerminate:
        encoder.encodeTerminate(bin.value);
        break;
    }
  }
}

template <typename Decoder>
int decodeBin(Decoder& decoder, Contexts& contexts, BinKind kind, int ctxIdx) {
  switch (kind) {
    case BinKind::kDecision:
      return decoder.decodeDecision(contexts[ctxIdx]);
    case BinKind::kBypass:
      return decoder.decodeBypass();
    case BinKind::kTerminate:
      break;
  }
  return decoder.decodeTerminate();
}

// Decodes `bins` and stops at the first difference, which it reports.
void expectDecodes(CabacEngine& engine, Contexts& contexts, const std::vector<Bin>& bins) {
  for (std::size_t i = 0; i < bins.size(); ++i) {
    const int decoded = decodeBin(engine, contexts, bins[i].kind, bins[i].ctxIdx);
    if (decoded != bins[i].value) {
      ADD_FAILURE() << "bin " << i << " of " << bins.size() << " decoded as " << decoded;
      return;
    }
  }
}

// The encoded form of `bins`, which end with a terminate bin of 1, followed by
// rbsp_alignment_zero_bits as at the end of a slice.
struct Coded {
  std::vector<std::uint8_t> bytes;
  std::size_t flushBits;  // bits written when EncodeFlush returned
  Contexts contexts;      // the encoder's contexts after the bins
};

Coded encodeSlice(const Contexts& initial, const std::vector<Bin>& bins) {
  BitWriter out;
  ReferenceEncoder encoder(out);
  Coded coded{{}, 0, initial};
  encodeBins(encoder, coded.contexts, bins);
  coded.flushBits = out.bitCount();
  while (out.bitCount() % 8) out.bit(0);
  coded.bytes = out.bytes();
  return coded;
}

// Decisions over all contexts, each with its own probability of a 1, bypass
// bins and terminate bins of 0, then the terminate bin of 1.
std::vector<Bin> randomBins(std::mt19937& rng, int count) {
  std::vector<std::uint32_t> oneThreshold(kContextCount);
  for (std::uint32_t& threshold : oneThreshold) threshold = rng();
  std::vector<Bin> bins;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t pick = rng() % 100;
    if (pick < 70) {
      const int ctxIdx = static_cast<int>(rng() % kContextCount);
      bins.push_back({BinKind::kDecision, ctxIdx, rng() < oneThreshold[ctxIdx] ? 1 : 0});
    } else if (pick < 95) {
      bins.push_back({BinKind::kBypass, 0, static_cast<int>(rng() & 1)});
    } else {
      bins.push_back({BinKind::kTerminate, 0, 0});
    }
  }
  bins.push_back({BinKind::kTerminate, 0, 1});
  return bins;
}

// Encodes, decodes and checks the bins, the contexts after them and where the
// arithmetic code ended.
void expectRoundTrip(const Contexts& initial, const std::vector<Bin>& bins) {
  const Coded coded = encodeSlice(initial, bins);
  Contexts contexts = initial;
  CabacEngine engine;
  engine.start(coded.bytes.data(), coded.bytes.size(), 0);
  expectDecodes(engine, contexts, bins);
  EXPECT_EQ(engine.bitPosition(), coded.flushBits);
  for (int i = 0; i < kContextCount; ++i) {
    EXPECT_EQ(contexts[i].pStateIdx, coded.contexts[i].pStateIdx) << "ctxIdx " << i;
    EXPECT_EQ(contexts[i].valMPS, coded.contexts[i].valMPS) << "ctxIdx " << i;
  }
}

TEST(CabacEngine, RoundTripsRandomBinSequences) {
  for (std::uint32_t round = 0; round < 20; ++round) {
    const std::uint32_t seed = baseSeed() + round;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng = seededRng(seed);
    const Contexts initial = randomContexts(rng);
    expectRoundTrip(initial, randomBins(rng, 20000));
    if (HasFailure()) return;
  }
}

TEST(CabacEngine, EndsAfterTheStopBit) {
  std::mt19937 rng = seededRng(baseSeed());
  const Contexts initial = randomContexts(rng);
  for (int count : {0, 1, 2, 3, 5, 8, 13, 100}) {
    const std::vector<Bin> bins = randomBins(rng, count);
    const Coded coded = encodeSlice(initial, bins);
    Contexts contexts = initial;
    CabacEngine engine;
    engine.start(coded.bytes.data(), coded.bytes.size(), 0);
    expectDecodes(engine, contexts, bins);
    const std::size_t end = engine.bitPosition();
    ASSERT_EQ(end, coded.flushBits) << count << " bins";
    const unsigned stopBit = (coded.bytes[(end - 1) / 8] >> (7 - (end - 1) % 8)) & 1;
    EXPECT_EQ(stopBit, 1u) << count << " bins";
  }
}

TEST(CabacEngine, LongMpsRunTakesAtMostOneBitPerBin) {
  for (int valMPS : {0, 1}) {
    const Contexts initial(kContextCount, ContextVariable{0, static_cast<std::uint8_t>(valMPS)});
    std::vector<Bin> bins(5000, Bin{BinKind::kDecision, 399, valMPS});
    bins.push_back({BinKind::kTerminate, 0, 1});
    const Coded coded = encodeSlice(initial, bins);
    Contexts contexts = initial;
    CabacEngine engine;
    engine.start(coded.bytes.data(), coded.bytes.size(), 0);
    std::size_t position = engine.bitPosition();
    EXPECT_EQ(position, 9u);
    for (std::size_t i = 0; i + 1 < bins.size(); ++i) {
      ASSERT_EQ(engine.decodeDecision(contexts[399]), valMPS) << "bin " << i;
      ASSERT_LE(engine.bitPosition(), position + 1) << "bin " << i;
      position = engine.bitPosition();
    }
    EXPECT_EQ(contexts[399].pStateIdx, 62);
    EXPECT_EQ(engine.decodeTerminate(), 1);
    EXPECT_EQ(engine.bitPosition(), coded.flushBits);
    // pStateIdx 62 codes an MPS in about 0.03 bits.
    EXPECT_LT(coded.bytes.size(), 40u);
  }
}

TEST(CabacEngine, LpsAtStateZeroFlipsValMps) {
  const Contexts initial(kContextCount, ContextVariable{0, 0});
  // At pStateIdx 0 every LPS flips valMPS; alternate so it flips back and forth.
  std::vector<Bin> bins;
  for (int i = 0; i < 64; ++i) bins.push_back({BinKind::kDecision, 5, (i & 1) ^ 1});
  bins.push_back({BinKind::kTerminate, 0, 1});
  const Coded coded = encodeSlice(initial, bins);
  Contexts contexts = initial;
  CabacEngine engine;
  engine.start(coded.bytes.data(), coded.bytes.size(), 0);
  for (int i = 0; i < 64; ++i) {
    ASSERT_EQ(engine.decodeDecision(contexts[5]), (i & 1) ^ 1) << "bin " << i;
    EXPECT_EQ(contexts[5].pStateIdx, 0) << "bin " << i;
    EXPECT_EQ(contexts[5].valMPS, (i & 1) ^ 1) << "bin " << i;
  }
  EXPECT_EQ(engine.decodeTerminate(), 1);
  EXPECT_EQ(engine.bitPosition(), coded.flushBits);
}

TEST(CabacEngine, LpsAtHighStatesRenormalisesSeveralBits) {
  std::mt19937 rng = seededRng(baseSeed() + 100);
  Contexts initial(kContextCount);
  for (ContextVariable& ctx : initial) ctx = ContextVariable{62, 1};
  // Mostly LPS at pStateIdx near 62, where rangeLPS is 6 to 8 and a bin takes 6 bits.
  std::vector<Bin> bins;
  for (int i = 0; i < 3000; ++i) {
    const int ctxIdx = static_cast<int>(rng() % kContextCount);
    if (ctxIdx != kTerminateCtxIdx) bins.push_back({BinKind::kDecision, ctxIdx, 0});
  }
  bins.push_back({BinKind::kTerminate, 0, 1});
  expectRoundTrip(initial, bins);
}

// coeff_abs_level_minus1 of large levels: 14 prefix decisions, then an
// Exp-Golomb suffix of k = 0 and a sign, both in bypass bins.
TEST(CabacEngine, RoundTripsBypassHeavyRuns) {
  std::mt19937 rng = seededRng(baseSeed() + 200);
  const Contexts initial = randomContexts(rng);
  std::vector<Bin> bins;
  for (int level = 0; level < 400; ++level) {
    for (int i = 0; i < 14; ++i) bins.push_back({BinKind::kDecision, 232 + (i > 0), 1});
    // The suffix by the Exp-Golomb binarisation of clause 9.3.2.3, k = 0.
    std::uint32_t suffix = rng() >> (12 + rng() % 20);
    int k = 0;
    for (; suffix >= (1u << k); ++k) {
      bins.push_back({BinKind::kBypass, 0, 1});
      suffix -= 1u << k;
    }
    bins.push_back({BinKind::kBypass, 0, 0});
    while (k-- > 0) bins.push_back({BinKind::kBypass, 0, static_cast<int>((suffix >> k) & 1)});
    bins.push_back({BinKind::kBypass, 0, static_cast<int>(rng() & 1)});
  }
  bins.push_back({BinKind::kTerminate, 0, 1});
  expectRoundTrip(initial, bins);
}

// I_PCM: the terminate bin of 1, pcm_alignment_zero_bits, raw samples, and the
// engine started again at the byte after them (clause 9.3.1.2).
TEST(CabacEngine, RestartsAfterPcmSamples) {
  std::mt19937 rng = seededRng(baseSeed() + 300);
  const Contexts initial = randomContexts(rng);
  const int kSegments = 12;
  std::vector<std::vector<Bin>> segments;
  std::vector<std::vector<std::uint8_t>> samples;
  std::vector<std::size_t> flushBits;
  BitWriter out;
  ReferenceEncoder encoder(out);
  Contexts encoderContexts = initial;
  for (int s = 0; s < kSegments; ++s) {
    segments.push_back(randomBins(rng, static_cast<int>(rng() % 300)));
    encoder.init();
    encodeBins(encoder, encoderContexts, segments.back());
    flushBits.push_back(out.bitCount());
    if (s + 1 == kSegments) break;
    while (out.bitCount() % 8) out.bit(0);
    samples.emplace_back(rng() % 40);
    for (std::uint8_t& sample : samples.back()) {
      sample = static_cast<std::uint8_t>(rng() % 3 == 0 ? 0xFF : rng());
      out.bits(sample, 8);
    }
  }
  while (out.bitCount() % 8) out.bit(0);
  const std::vector<std::uint8_t> bytes = out.bytes();

  Contexts contexts = initial;
  CabacEngine engine;
  std::size_t byteOffset = 0;
  for (int s = 0; s < kSegments; ++s) {
    SCOPED_TRACE("segment " + std::to_string(s));
    engine.start(bytes.data(), bytes.size(), byteOffset);
    expectDecodes(engine, contexts, segments[s]);
    ASSERT_EQ(engine.bitPosition(), flushBits[s]);
    if (s + 1 == kSegments) break;
    StreamParser parser(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    for (std::size_t left = engine.bitPosition(); left > 0; left -= std::min<std::size_t>(left, 32))
      parser.skipBits(static_cast<unsigned>(std::min<std::size_t>(left, 32)));
    parser.alignToByte();
    for (std::uint8_t sample : samples[s]) ASSERT_EQ(parser.readBits(8), sample);
    byteOffset = parser.bitOffset() / 8;
  }
}

// Arbitrary bytes, short buffers and offsets at or past the end: up to a
// terminate bin of 1, every bin and every bit position must equal those of the
// plain decoder, which reads zeros past the end. Run under AddressSanitizer
// this also shows that nothing outside the exact-size buffers is read.
TEST(CabacEngine, MatchesPlainDecoderOnArbitraryBytes) {
  std::mt19937 rng = seededRng(baseSeed() + 400);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::uint8_t> bytes(rng() % 48);
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(rng() % 4 ? rng() : 0);
    const std::size_t byteOffset = rng() % (bytes.size() + 3);
    ReferenceDecoder reference(bytes, byteOffset);
    CabacEngine engine;
    if (reference.startRejected()) {
      EXPECT_THROW(engine.start(bytes.data(), bytes.size(), byteOffset), int);
      continue;
    }
    engine.start(bytes.data(), bytes.size(), byteOffset);
    Contexts contexts = randomContexts(rng);
    Contexts referenceContexts = contexts;
    for (int i = 0; i < 1000; ++i) {
      const std::uint32_t pick = rng() % 100;
      const BinKind kind = pick < 60   ? BinKind::kDecision
                           : pick < 95 ? BinKind::kBypass
                                       : BinKind::kTerminate;
      const int ctxIdx = static_cast<int>(rng() % kContextCount);
      const int expected = decodeBin(reference, referenceContexts, kind, ctxIdx);
      ASSERT_EQ(decodeBin(engine, contexts, kind, ctxIdx), expected)
          << "round " << round << " bin " << i;
      ASSERT_EQ(engine.bitPosition(), reference.bitPosition()) << "round " << round << " bin " << i;
      ASSERT_EQ(contexts[ctxIdx].pStateIdx, referenceContexts[ctxIdx].pStateIdx);
      ASSERT_EQ(contexts[ctxIdx].valMPS, referenceContexts[ctxIdx].valMPS);
      // The arithmetic code ends here; a caller stops or starts again.
      if (kind == BinKind::kTerminate && expected == 1) break;
    }
  }
}

// A slice cut short decodes as the whole one while the bits it has consumed
// are still inside the cut buffer, then goes on over zeros.
TEST(CabacEngine, DecodesTruncatedDataUpToItsEnd) {
  std::mt19937 rng = seededRng(baseSeed() + 500);
  const Contexts initial = randomContexts(rng);
  const std::vector<Bin> bins = randomBins(rng, 4000);
  const Coded coded = encodeSlice(initial, bins);
  for (std::size_t size :
       {std::size_t{2}, std::size_t{9}, coded.bytes.size() / 3, coded.bytes.size() - 1}) {
    const std::vector<std::uint8_t> cut(coded.bytes.begin(), coded.bytes.begin() + size);
    // The whole stream's bits past the cut, as the engine will see them: zeros.
    std::vector<std::uint8_t> padded = cut;
    padded.resize(coded.bytes.size() + 64, 0);
    Contexts contexts = initial;
    Contexts paddedContexts = initial;
    CabacEngine engine;
    CabacEngine reference;
    engine.start(cut.data(), cut.size(), 0);
    reference.start(padded.data(), padded.size(), 0);
    Contexts wholeContexts = initial;
    CabacEngine whole;
    whole.start(coded.bytes.data(), coded.bytes.size(), 0);
    for (std::size_t i = 0; i < bins.size(); ++i) {
      const int bin = decodeBin(engine, contexts, bins[i].kind, bins[i].ctxIdx);
      ASSERT_EQ(bin, decodeBin(reference, paddedContexts, bins[i].kind, bins[i].ctxIdx));
      const int wholeBin = decodeBin(whole, wholeContexts, bins[i].kind, bins[i].ctxIdx);
      if (engine.bitPosition() <= 8 * size) {
        ASSERT_EQ(bin, wholeBin) << "bin " << i;
      }
      if (bins[i].kind == BinKind::kTerminate && bin == 1) break;
    }
  }
}

TEST(CabacEngine, ReadsZerosPastTheEnd) {
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{2}}) {
    const std::vector<std::uint8_t> bytes(size, 0);
    Contexts contexts(kContextCount, ContextVariable{30, 1});
    CabacEngine engine;
    engine.start(bytes.data(), bytes.size(), 0);
    // codIOffset stays 0: every decision is the MPS, every bypass bin and
    // terminate bin 0, and each call still consumes its bits.
    for (int i = 0; i < 2000; ++i) {
      ASSERT_EQ(engine.decodeDecision(contexts[i % 100]), 1);
      ASSERT_EQ(engine.decodeBypass(), 0);
      ASSERT_EQ(engine.decodeTerminate(), 0);
    }
    EXPECT_GT(engine.bitPosition(), 2000u);
  }
}

TEST(CabacEngine, StartRejectsOffset510And511) {
  const std::vector<std::uint8_t> offset511 = {0xFF, 0x80};
  const std::vector<std::uint8_t> offset510 = {0x12, 0xFF, 0x00};
  const std::vector<std::uint8_t> offset509 = {0xFE, 0x80};
  CabacEngine engine;
  EXPECT_THROW(engine.start(offset511.data(), offset511.size(), 0), int);
  try {
    engine.start(offset510.data(), offset510.size(), 1);
    ADD_FAILURE() << "codIOffset 510 accepted";
  } catch (int code) {
    EXPECT_EQ(code, kSliceError);
  }
  EXPECT_NO_THROW(engine.start(offset509.data(), offset509.size(), 0));
  EXPECT_EQ(engine.bitPosition(), 9u);
  EXPECT_NO_THROW(engine.start(offset509.data(), offset509.size(), 5));
  EXPECT_EQ(engine.bitPosition(), 49u);
}

struct ExpectedContext {
  int ctxIdx;
  int pStateIdx;
  int valMPS;
};

void expectContexts(int sliceQpY, std::initializer_list<ExpectedContext> expected) {
  Contexts contexts(kContextCount);
  initCabacContexts(contexts.data(), sliceQpY);
  for (const ExpectedContext& e : expected) {
    EXPECT_EQ(contexts[e.ctxIdx].pStateIdx, e.pStateIdx)
        << "QP " << sliceQpY << " ctxIdx " << e.ctxIdx;
    EXPECT_EQ(contexts[e.ctxIdx].valMPS, e.valMPS) << "QP " << sliceQpY << " ctxIdx " << e.ctxIdx;
  }
}

// Worked by hand from (m, n): ctxIdx 0..10 (mb_type), 60 and 64 (mb_qp_delta,
// intra_chroma_pred_mode), 73 (coded_block_pattern), 85 (coded_block_flag),
// 105, 166, 227 (significance, last, level), 399 (transform_size_8x8_flag),
// 402 and 1012, 1015 (4:4:4 Cb and Cr residual).
TEST(CabacContexts, InitialiseAtQp0) {
  expectContexts(
      0, {{0, 62, 0},   {1, 9, 0},    {2, 10, 1},   {3, 62, 0},    {4, 9, 0},    {5, 10, 1},
          {6, 62, 1},   {7, 40, 1},   {8, 10, 0},   {9, 9, 0},     {10, 12, 0},  {60, 22, 0},
          {64, 19, 1},  {73, 62, 1},  {85, 59, 1},  {105, 29, 1},  {166, 62, 0}, {227, 7, 1},
          {399, 42, 0}, {402, 56, 1}, {1012, 6, 1}, {1015, 62, 1}, {276, 63, 0}});
}

TEST(CabacContexts, InitialiseAtQp26) {
  expectContexts(26,
                 {{0, 46, 0},  {1, 6, 0},    {2, 14, 1},   {3, 46, 0},    {4, 6, 0},    {5, 14, 1},
                  {6, 17, 1},  {7, 2, 1},    {8, 20, 0},   {9, 11, 0},    {10, 1, 0},   {60, 22, 0},
                  {64, 4, 1},  {73, 35, 1},  {85, 31, 1},  {105, 17, 1},  {166, 24, 0}, {227, 2, 1},
                  {399, 7, 1}, {402, 28, 1}, {1012, 1, 1}, {1015, 14, 1}, {276, 63, 0}});
}

TEST(CabacContexts, InitialiseAtQp51) {
  expectContexts(51,
                 {{0, 15, 0},   {1, 3, 0},   {2, 19, 1},   {3, 15, 0},    {4, 3, 0},    {5, 19, 1},
                  {6, 26, 0},   {7, 33, 0},  {8, 30, 0},   {9, 13, 0},    {10, 9, 1},   {60, 22, 0},
                  {64, 9, 0},   {73, 8, 1},  {85, 4, 1},   {105, 6, 1},   {166, 12, 1}, {227, 2, 0},
                  {399, 55, 1}, {402, 1, 1}, {1012, 3, 0}, {1015, 32, 0}, {276, 63, 0}});
}

TEST(CabacContexts, NegativeQpInitialisesAsQp0AndHighQpAs51) {
  Contexts atZero(kContextCount), negative(kContextCount);
  Contexts at51(kContextCount), above(kContextCount);
  initCabacContexts(atZero.data(), 0);
  initCabacContexts(negative.data(), -12);
  initCabacContexts(at51.data(), 51);
  initCabacContexts(above.data(), 60);
  for (int i = 0; i < kContextCount; ++i) {
    EXPECT_EQ(negative[i].pStateIdx, atZero[i].pStateIdx) << "ctxIdx " << i;
    EXPECT_EQ(negative[i].valMPS, atZero[i].valMPS) << "ctxIdx " << i;
    EXPECT_EQ(above[i].pStateIdx, at51[i].pStateIdx) << "ctxIdx " << i;
    EXPECT_EQ(above[i].valMPS, at51[i].valMPS) << "ctxIdx " << i;
  }
}

// ctxIdx 233 has (m, n) = (1, 63): preCtxState 63 at QP 0, 64 at QP 26.
TEST(CabacContexts, PreCtxState63And64StraddleValMps) {
  expectContexts(0, {{233, 0, 0}});
  expectContexts(26, {{233, 0, 1}});
}

TEST(CabacContexts, PlaceholdersAreEquiprobable) {
  for (int qp : {0, 26, 51}) {
    Contexts contexts(kContextCount);
    initCabacContexts(contexts.data(), qp);
    for (int ctxIdx = 11; ctxIdx < 60; ++ctxIdx) {
      EXPECT_EQ(contexts[ctxIdx].pStateIdx, 0) << "ctxIdx " << ctxIdx;
      EXPECT_EQ(contexts[ctxIdx].valMPS, 1) << "ctxIdx " << ctxIdx;
    }
    for (const ContextVariable& ctx : contexts) EXPECT_LE(ctx.pStateIdx, 63);
  }
}

TEST(CabacTables, SpotValues) {
  EXPECT_EQ(kRangeTabLps[0][0], 128);
  EXPECT_EQ(kRangeTabLps[0][3], 240);
  EXPECT_EQ(kRangeTabLps[12][3], 128);
  EXPECT_EQ(kRangeTabLps[40][2], 26);
  EXPECT_EQ(kRangeTabLps[62][1], 7);
  for (int q = 0; q < 4; ++q) EXPECT_EQ(kRangeTabLps[63][q], 2);
  EXPECT_EQ(kTransIdxLps[0], 0);
  EXPECT_EQ(kTransIdxLps[13], 11);
  EXPECT_EQ(kTransIdxLps[62], 38);
  EXPECT_EQ(kTransIdxLps[63], 63);
  for (int s = 0; s < 62; ++s) EXPECT_EQ(kTransIdxMps[s], s + 1);
  EXPECT_EQ(kTransIdxMps[62], 62);
  EXPECT_EQ(kTransIdxMps[63], 63);
  // The LPS range shrinks as the state grows and widens with codIRange.
  for (int s = 1; s < 63; ++s) {
    for (int q = 0; q < 4; ++q) EXPECT_LE(kRangeTabLps[s][q], kRangeTabLps[s - 1][q]);
    for (int q = 1; q < 4; ++q) EXPECT_GE(kRangeTabLps[s][q], kRangeTabLps[s][q - 1]);
  }
}

}  // namespace
}  // namespace H264
