// Cuts Annex B streams into seeds for the slice-data fuzzer:
//   fuzz_seeds OUT_DIR FILE.264...
// writes OUT_DIR/NAME: the configuration bytes of fuzz/slice_data_fuzzer.cpp
// closest to the stream's first slice, then the slice data of that slice
// (at most 4 KB). The other fuzz targets take the streams as they are
// (fuzz/make_corpus.sh).
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <vector>

#include "common/annexb_file.h"
#include "support/bit_writer.h"
#include "syntax/parameters_decoder.h"
#include "syntax/slice_header.h"
#include "syntax/stream_parser.h"

namespace {

using istrel::tools::NalUnit;

std::vector<std::uint8_t> seedOf(const istrel::tools::AnnexBStream& s) {
  H264::ParametersDecoder parameters;
  for (const NalUnit& nal : s.nals) {
    std::vector<std::uint8_t> rbsp = rbspOf(s, nal);
    H264::StreamParser parser(rbsp.data(), static_cast<std::uint32_t>(rbsp.size()));
    if (nal.isParameterSet()) parameters.parseNal(parser, nal.type());
    if (!nal.isSlice()) continue;
    H264::SliceHeader h;
    H264::ActiveParameters active;
    H264::parseSliceHeader(parser, parameters, nal.refIdc(), nal.type(), h, active);
    const H264::SeqParameterSet& sps = *active.sps;
    const H264::PicParameterSet& pps = *active.pps;
    // The codes of bit depths 8, 9, 10, 14 and chroma offsets 0, -12, 12, 5.
    const unsigned depth = sps.BitDepthY;
    const int offset = pps.chroma_qp_index_offset;
    const unsigned depthCode = depth == 9 ? 1 : depth == 10 ? 2 : depth >= 14 ? 3 : 0;
    const unsigned offsetCode = offset == -12 ? 1 : offset == 12 ? 2 : offset == 5 ? 3 : 0;
    const unsigned structure = h.field_pic_flag ? 2 + h.bottom_field_flag : h.MbaffFrameFlag;
    std::vector<std::uint8_t> seed = {
        static_cast<std::uint8_t>(pps.entropy_coding_mode_flag | sps.chroma_format_idc << 1 |
                                  depthCode << 3 | structure << 5 |
                                  pps.transform_8x8_mode_flag << 7),
        static_cast<std::uint8_t>(
            sps.qpprime_y_zero_transform_bypass_flag | sps.seq_scaling_matrix_present_flag << 1 |
            pps.pic_scaling_matrix_present_flag << 2 | pps.constrained_intra_pred_flag << 3 |
            (nal.type() == H264::kNalIdrSlice) << 4 |
            pps.deblocking_filter_control_present_flag << 7),
        static_cast<std::uint8_t>(h.SliceQPY + 6 * static_cast<int>(depth - 8)),
        static_cast<std::uint8_t>(offsetCode << 6)};
    // The slice data: for CABAC from the byte boundary on.
    std::size_t bit = parser.bitOffset();
    if (pps.entropy_coding_mode_flag) bit = (bit + 7) & ~std::size_t{7};
    istrel::test::BitWriter data;
    for (const std::size_t end = std::min(rbsp.size() * 8, bit + 4096 * 8); bit < end; ++bit) {
      data.bit((rbsp[bit / 8] >> (7 - bit % 8)) & 1);
    }
    seed.insert(seed.end(), data.bytes().begin(), data.bytes().end());
    return seed;
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUT_DIR FILE.264...\n", argv[0]);
    return 2;
  }
  std::filesystem::create_directories(argv[1]);
  int failures = 0;
  for (int i = 2; i < argc; ++i) {
    try {
      const std::vector<std::uint8_t> seed =
          seedOf(istrel::tools::splitAnnexB(istrel::tools::readFile(argv[i])));
      std::ofstream(std::filesystem::path(argv[1]) / std::filesystem::path(argv[i]).stem(),
                    std::ios::binary)
          .write(reinterpret_cast<const char*>(seed.data()),
                 static_cast<std::streamsize>(seed.size()));
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
