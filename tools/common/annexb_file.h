// Reading Annex B files for the tools: NAL units and access units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace istrel::tools {

struct NalUnit {
  std::size_t offset;  // the NAL header byte
  std::size_t size;    // header and payload, still escaped, up to the next start code
  std::uint8_t header;
  unsigned type() const { return header & 0x1F; }
  unsigned refIdc() const { return (header >> 5) & 3; }
  bool isSlice() const { return type() == 1 || type() == 5; }
};

// An access unit: a contiguous byte range of the stream holding its NAL
// units, from the first start code of the unit to the next unit's.
struct AccessUnit {
  std::size_t begin;
  std::size_t end;
  std::size_t firstNal;
  std::size_t nalCount;
};

struct AnnexBStream {
  std::vector<std::uint8_t> bytes;
  std::vector<NalUnit> nals;
  std::vector<AccessUnit> units;
};

// Reads `path` whole. Throws std::runtime_error with a readable message.
std::vector<std::uint8_t> readFile(const std::string& path);

// Splits `bytes` into NAL units and access units (ITU-T H.264 clause 7.4.1.2.3:
// a unit starts at an access unit delimiter, at a parameter set or SEI after
// a slice, or at a slice with first_mb_in_slice 0 after a slice).
AnnexBStream splitAnnexB(std::vector<std::uint8_t> bytes);

// The RBSP of a NAL unit: payload after the header with emulation-prevention
// bytes removed.
std::vector<std::uint8_t> rbspOf(const AnnexBStream& stream, const NalUnit& nal);

}  // namespace istrel::tools
