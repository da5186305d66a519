#include "common/annexb_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "syntax/annexb.h"
#include "syntax/parameters_decoder.h"
#include "syntax/slice_header.h"
#include "syntax/stream_parser.h"

namespace istrel::tools {
namespace {

// Escaped bytes of a slice read for its header: an I slice header takes a
// few dozen; a long list of memory management operations could take more.
constexpr std::size_t kSliceHeaderBytes = 256;

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

std::vector<std::uint8_t> unescaped(const AnnexBStream& stream, const NalUnit& nal,
                                    std::size_t limit) {
  auto first = stream.bytes.begin() + static_cast<std::ptrdiff_t>(nal.offset + 1);
  std::vector<std::uint8_t> rbsp(
      first, first + static_cast<std::ptrdiff_t>(std::min(nal.size - 1, limit)));
  H264::UnescapedNal result = H264::unescapeInPlace(rbsp.data(), rbsp.size(), 0, 0);
  rbsp.resize(result.length);
  return rbsp;
}

bool startsNewUnit(const AnnexBStream& s, const NalUnit& nal, bool sliceSeen) {
  unsigned type = nal.type();
  if (type == H264::kNalAccessUnitDelimiter) return true;
  if (!sliceSeen) return false;
  // SEI, parameter sets and types 14 to 18 open an access unit (clause 7.4.1.2.3).
  if ((type >= H264::kNalSei && type <= H264::kNalPps) || (type >= 14 && type <= 18)) return true;
  if (!nal.isSlice()) return false;
  std::vector<std::uint8_t> rbsp = unescaped(s, nal, 8);
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

// What the first readable slice header of an access unit says.
struct PictureOf {
  FrameCoding coding = FrameCoding::kUnknown;
  bool bottom = false;
  std::uint32_t frameNum = 0;
};

// Reads the parameter sets of the unit into `parameters` and the first slice
// header that can be read.
PictureOf readUnit(const AnnexBStream& s, const AccessUnit& unit,
                   H264::ParametersDecoder& parameters) {
  PictureOf picture;
  for (std::size_t i = unit.firstNal; i < unit.firstNal + unit.nalCount; ++i) {
    const NalUnit& nal = s.nals[i];
    try {
      if (nal.isParameterSet()) {
        std::vector<std::uint8_t> rbsp = rbspOf(s, nal);
        H264::StreamParser parser(rbsp.data(), static_cast<std::uint32_t>(rbsp.size()),
                                  H264::kParameterSetError);
        parameters.parseNal(parser, nal.type());
      } else if (nal.isSlice() && picture.coding == FrameCoding::kUnknown) {
        std::vector<std::uint8_t> rbsp = sliceHeaderRbspOf(s, nal);
        H264::StreamParser parser(rbsp.data(), static_cast<std::uint32_t>(rbsp.size()));
        H264::SliceHeader header;
        H264::ActiveParameters active;
        H264::parseSliceHeader(parser, parameters, nal.refIdc(), nal.type(), header, active);
        picture.coding = header.field_pic_flag   ? FrameCoding::kField
                         : header.MbaffFrameFlag ? FrameCoding::kMbaffFrame
                                                 : FrameCoding::kFrame;
        picture.bottom = header.bottom_field_flag != 0;
        picture.frameNum = header.frame_num;
      }
    } catch (int) {
      // An unreadable set or header: the unit stays as it is.
    }
  }
  return picture;
}

// Joins each field with the access unit after it when that is its partner.
std::vector<AccessUnit> pairFields(const AnnexBStream& s) {
  H264::ParametersDecoder parameters;
  std::vector<AccessUnit> frames;
  PictureOf open;  // the field waiting for its partner
  for (const AccessUnit& unit : s.units) {
    const PictureOf picture = readUnit(s, unit, parameters);
    if (open.coding == FrameCoding::kField && picture.coding == FrameCoding::kField &&
        picture.bottom != open.bottom && picture.frameNum == open.frameNum) {
      AccessUnit& pair = frames.back();
      pair.end = unit.end;
      pair.nalCount += unit.nalCount;
      pair.coding = FrameCoding::kFieldPair;
      open = {};
      continue;
    }
    frames.push_back(unit);
    frames.back().coding = picture.coding;
    frames.back().bottomFieldFirst = picture.bottom;
    open = picture;
  }
  return frames;
}

}  // namespace

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[1 << 16];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  if (std::ferror(file.get())) {
    throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno) +
                             " (give an H.264 Annex B file)");
  }
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
  s.units = pairFields(s);
  return s;
}

std::vector<std::uint8_t> rbspOf(const AnnexBStream& stream, const NalUnit& nal) {
  return unescaped(stream, nal, nal.size);
}

std::vector<std::uint8_t> sliceHeaderRbspOf(const AnnexBStream& stream, const NalUnit& nal) {
  return unescaped(stream, nal, kSliceHeaderBytes);
}

}  // namespace istrel::tools
