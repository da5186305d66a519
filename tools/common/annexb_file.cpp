#include "common/annexb_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "syntax/annexb.h"
#include "syntax/stream_parser.h"

namespace istrel::tools {
namespace {

std::vector<NalUnit> splitNalUnits(const std::vector<std::uint8_t>& bytes) {
  std::vector<NalUnit> nals;
  const std::uint8_t* data = bytes.data();
  std::size_t size = bytes.size();
  auto any = [](std::uint8_t) { return true; };
  std::size_t header = H264::findNalUnit(data, size, 0, any);
  while (header < size) {
    std::size_t next = H264::findNalUnit(data, size, header + 1, any);
    std::size_t end = next == size ? size : next - 3;
    while (end > header + 1 && data[end - 1] == 0) --end;  // zero_byte / trailing zeros
    nals.push_back({header, end - header, data[header]});
    header = next;
  }
  return nals;
}

bool startsNewUnit(const AnnexBStream& s, const NalUnit& nal, bool sliceSeen) {
  unsigned type = nal.type();
  if (type == 9) return true;
  if (!sliceSeen) return false;
  if ((type >= 6 && type <= 8) || (type >= 14 && type <= 18)) return true;
  if (!nal.isSlice()) return false;
  std::vector<std::uint8_t> rbsp = rbspOf(s, nal);
  H264::StreamParser parser(rbsp.data(), static_cast<std::uint32_t>(rbsp.size()));
  try {
    return parser.readUe() == 0;
  } catch (int) {
    return false;
  }
}

// A start code is 00 00 01, preceded by a zero byte when it is four bytes.
std::size_t startCodeOf(const std::vector<std::uint8_t>& bytes, const NalUnit& nal) {
  std::size_t begin = nal.offset - 3;
  return begin > 0 && bytes[begin - 1] == 0 ? begin - 1 : begin;
}

}  // namespace

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read " + path);
  return bytes;
}

AnnexBStream splitAnnexB(std::vector<std::uint8_t> bytes) {
  AnnexBStream s;
  s.bytes = std::move(bytes);
  s.nals = splitNalUnits(s.bytes);
  bool sliceSeen = false;
  for (std::size_t i = 0; i < s.nals.size(); ++i) {
    const NalUnit& nal = s.nals[i];
    if (s.units.empty() || startsNewUnit(s, nal, sliceSeen)) {
      if (!s.units.empty()) s.units.back().end = startCodeOf(s.bytes, nal);
      s.units.push_back({startCodeOf(s.bytes, nal), s.bytes.size(), i, 0});
      sliceSeen = false;
    }
    ++s.units.back().nalCount;
    sliceSeen = sliceSeen || nal.isSlice();
  }
  return s;
}

std::vector<std::uint8_t> rbspOf(const AnnexBStream& stream, const NalUnit& nal) {
  auto first = stream.bytes.begin() + static_cast<std::ptrdiff_t>(nal.offset + 1);
  std::vector<std::uint8_t> rbsp(first, first + static_cast<std::ptrdiff_t>(nal.size - 1));
  H264::UnescapedNal unescaped = H264::unescapeInPlace(rbsp.data(), rbsp.size(), 0, 0);
  rbsp.resize(unescaped.length);
  return rbsp;
}

}  // namespace istrel::tools
