// Reading Annex B files for the tools: NAL units, and frames as a host hands
// them to the decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "syntax/nal_unit.h"

namespace istrel::tools {

struct NalUnit {
  std::size_t offset;  // the NAL header byte
  std::size_t size;    // header and payload, still escaped, up to the next start code
  std::uint8_t header;
  unsigned type() const { return H264::nalUnitType(header); }
  unsigned refIdc() const { return H264::nalRefIdc(header); }
  bool isSlice() const { return H264::isCodedSlice(header); }
  bool isParameterSet() const { return H264::isParameterSet(header); }
};

// How a frame is coded, as its first readable slice header says.
enum class FrameCoding : std::uint8_t {
  kUnknown,     // no slice header could be read
  kFrame,       // a frame picture without MBAFF
  kMbaffFrame,  // a frame picture with MBAFF
  kFieldPair,   // two fields of opposite parity
  kField,       // a field without its partner
};

// A frame: a contiguous byte range of the stream holding its NAL units, from
// the first start code of its access unit to the next frame's. A field pair
// is two access units, one frame, as the library takes it.
struct AccessUnit {
  std::size_t begin;
  std::size_t end;
  std::size_t firstNal;
  std::size_t nalCount;
  FrameCoding coding = FrameCoding::kUnknown;
  bool bottomFieldFirst = false;  // a field pair or a field: the first field is a bottom field
};

struct AnnexBStream {
  std::vector<std::uint8_t> bytes;
  std::vector<NalUnit> nals;
  std::vector<AccessUnit> units;
};

// Reads `path` whole. Throws std::runtime_error with a message naming it.
std::vector<std::uint8_t> readFile(const std::string& path);

// Splits `bytes` into NAL units and frames. Access units start as ITU-T
// H.264 clause 7.4.1.2.3 says: at an access unit delimiter, at a parameter
// set or SEI after a slice, or at a slice with first_mb_in_slice 0 after a
// slice. A field (field_pic_flag 1) and the access unit after it form one
// frame when that unit is the field of opposite parity with the same
// frame_num; any other field stays a frame of its own.
AnnexBStream splitAnnexB(std::vector<std::uint8_t> bytes);

// The RBSP of a NAL unit: payload after the header with emulation-prevention
// bytes removed.
std::vector<std::uint8_t> rbspOf(const AnnexBStream& stream, const NalUnit& nal);

// The start of a slice's RBSP, enough for its header.
std::vector<std::uint8_t> sliceHeaderRbspOf(const AnnexBStream& stream, const NalUnit& nal);

}  // namespace istrel::tools
