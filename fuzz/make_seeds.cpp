// Cuts Annex B streams into seed inputs for the three fuzz targets:
//   fuzz_seeds OUT_DIR FILE.264...
// writes OUT_DIR/exported_api/NAME (host bytes, then the whole stream when it
// is below 64 KB, else its first access unit when that is),
// OUT_DIR/parameter_sets/NAME (the first unit's parameter sets and the start
// of its first slice) and OUT_DIR/slice_data/NAME (configuration bytes that
// mirror the stream, then the slice data of its first slice).
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "common/annexb_file.h"
#include "fuzz/slice_data_stream.h"
#include "syntax/parameters_decoder.h"
#include "syntax/slice_header.h"
#include "syntax/stream_parser.h"

namespace {

namespace fs = std::filesystem;
using istrel::tools::AnnexBStream;
using istrel::tools::NalUnit;

constexpr std::size_t kSmallStream = 64 * 1024;
constexpr std::size_t kSliceStartBytes = 48;
constexpr std::size_t kSliceDataBytes = 4 * 1024;

void write(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void appendNalBytes(std::vector<std::uint8_t>& out, const AnnexBStream& s, const NalUnit& nal,
                    std::size_t limit) {
  out.insert(out.end(), {0, 0, 1});
  std::size_t size = std::min(nal.size, limit);
  out.insert(out.end(), s.bytes.begin() + static_cast<std::ptrdiff_t>(nal.offset),
             s.bytes.begin() + static_cast<std::ptrdiff_t>(nal.offset + size));
}

// The configuration bytes closest to the stream's first slice, then its
// slice data.
std::vector<std::uint8_t> sliceDataSeed(const AnnexBStream& s) {
  H264::ParametersDecoder parameters;
  const NalUnit* slice = nullptr;
  for (const NalUnit& nal : s.nals) {
    if (nal.isParameterSet()) {
      std::vector<std::uint8_t> rbsp = rbspOf(s, nal);
      H264::StreamParser parser(rbsp.data(), static_cast<std::uint32_t>(rbsp.size()),
                                H264::kParameterSetError);
      parameters.parseNal(parser, nal.type());
    }
    if (nal.isSlice()) {
      slice = &nal;
      break;
    }
  }
  if (!slice) return {};
  std::vector<std::uint8_t> rbsp = rbspOf(s, *slice);
  H264::StreamParser parser(rbsp.data(), static_cast<std::uint32_t>(rbsp.size()));
  H264::SliceHeader header;
  H264::ActiveParameters active;
  H264::parseSliceHeader(parser, parameters, slice->refIdc(), slice->type(), header, active);

  const H264::SeqParameterSet& sps = *active.sps;
  const H264::PicParameterSet& pps = *active.pps;
  istrel::fuzz::SliceDataConfig c;
  c.cabac = pps.entropy_coding_mode_flag;
  c.chromaFormat = sps.chroma_format_idc;
  c.bitDepth = sps.BitDepthY;
  c.structure =
      header.field_pic_flag ? (header.bottom_field_flag ? 3 : 2) : (header.MbaffFrameFlag ? 1 : 0);
  c.transform8x8 = pps.transform_8x8_mode_flag;
  c.transformBypass = sps.qpprime_y_zero_transform_bypass_flag;
  c.spsScaling = sps.seq_scaling_matrix_present_flag;
  c.ppsScaling = pps.pic_scaling_matrix_present_flag;
  c.constrainedIntra = pps.constrained_intra_pred_flag;
  c.idr = slice->type() == H264::kNalIdrSlice;
  c.deblockingControl = pps.deblocking_filter_control_present_flag;
  c.sliceQp = header.SliceQPY;
  c.chromaQpOffset = pps.chroma_qp_index_offset;

  std::vector<std::uint8_t> seed = c.bytes();
  istrel::fuzz::BitWriter data;
  std::size_t bit = parser.bitOffset();
  if (c.cabac) bit = (bit + 7) & ~std::size_t{7};
  for (; bit < rbsp.size() * 8 && data.bitCount() < kSliceDataBytes * 8; ++bit) {
    data.bit((rbsp[bit / 8] >> (7 - bit % 8)) & 1);
  }
  seed.insert(seed.end(), data.bytes().begin(), data.bytes().end());
  return seed;
}

void cut(const fs::path& input, const fs::path& outDir) {
  AnnexBStream s = istrel::tools::splitAnnexB(istrel::tools::readFile(input.string()));
  if (s.units.empty()) return;
  const std::string name = input.stem().string();

  const auto& unit = s.units.front();
  std::vector<std::uint8_t> parameterSeed;
  bool sliceTaken = false;
  for (std::size_t i = unit.firstNal; i < unit.firstNal + unit.nalCount; ++i) {
    const NalUnit& nal = s.nals[i];
    if (nal.isSlice() && sliceTaken) continue;
    appendNalBytes(parameterSeed, s, nal, nal.isSlice() ? kSliceStartBytes : nal.size);
    sliceTaken = sliceTaken || nal.isSlice();
  }
  write(outDir / "parameter_sets" / name, parameterSeed);

  // The slice seed's configuration holds the chroma format of the first slice.
  std::vector<std::uint8_t> sliceSeed = sliceDataSeed(s);
  if (!sliceSeed.empty()) write(outDir / "slice_data" / name, sliceSeed);
  const bool is422 =
      !sliceSeed.empty() && istrel::fuzz::SliceDataConfig::read(sliceSeed.data()).chromaFormat == 2;

  // Large pictures only slow the exported-path fuzzer down.
  std::size_t end = s.bytes.size() < kSmallStream ? s.bytes.size() : unit.end;
  if (end - unit.begin <= kSmallStream) {
    std::vector<std::uint8_t> exportedSeed = {static_cast<std::uint8_t>(is422 ? 1 : 0), 0};
    exportedSeed.insert(exportedSeed.end(),
                        s.bytes.begin() + static_cast<std::ptrdiff_t>(unit.begin),
                        s.bytes.begin() + static_cast<std::ptrdiff_t>(end));
    write(outDir / "exported_api" / name, exportedSeed);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUT_DIR FILE.264...\n", argv[0]);
    return 2;
  }
  int failures = 0;
  for (int i = 2; i < argc; ++i) {
    try {
      cut(argv[i], argv[1]);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
      ++failures;
    } catch (int code) {
      std::fprintf(stderr, "%s: error %d\n", argv[i], code);
      ++failures;
    }
  }
  return failures ? 1 : 0;
}
