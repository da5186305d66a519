/* The NAL unit header byte, ITU-T H.264 clause 7.3.1: forbidden_zero_bit,
 * nal_ref_idc (2 bits) and nal_unit_type (5 bits), and the unit types the
 * decoder and its tools meet (Table 7-1). Written in the common subset of C
 * and C++, so that the C host programs read streams the same way. */
#ifndef ISTREL_SYNTAX_NAL_UNIT_H
#define ISTREL_SYNTAX_NAL_UNIT_H

#ifdef __cplusplus
#define ISTREL_NAL_FUNCTION constexpr inline
namespace H264 {
#else
#define ISTREL_NAL_FUNCTION static inline
#endif

enum NalUnitType {
  kNalNonIdrSlice = 1,
  kNalIdrSlice = 5,
  kNalSei = 6,
  kNalSps = 7,
  kNalPps = 8,
  kNalAccessUnitDelimiter = 9,
  kNalFiller = 12
};

ISTREL_NAL_FUNCTION unsigned nalUnitType(unsigned header) { return header & 0x1Fu; }

ISTREL_NAL_FUNCTION unsigned nalRefIdc(unsigned header) { return (header >> 5) & 3u; }

ISTREL_NAL_FUNCTION unsigned char nalHeaderByte(unsigned refIdc, unsigned type) {
  return (unsigned char)(((refIdc & 3u) << 5) | (type & 0x1Fu));
}

/* A coded slice: non-IDR (1) or IDR (5). */
ISTREL_NAL_FUNCTION int isCodedSlice(unsigned header) {
  return nalUnitType(header) == kNalNonIdrSlice || nalUnitType(header) == kNalIdrSlice;
}

ISTREL_NAL_FUNCTION int isParameterSet(unsigned header) {
  return nalUnitType(header) == kNalSps || nalUnitType(header) == kNalPps;
}

#ifdef __cplusplus
}  // namespace H264
#endif
#undef ISTREL_NAL_FUNCTION

#endif
