/* The NAL unit header byte, ITU-T H.264 clause 7.3.1: forbidden_zero_bit,
 * nal_ref_idc (2 bits) and nal_unit_type (5 bits), and the unit types the
 * decoder and its tools meet (Table 7-1). Written in the common subset of C
 * and C++, so that the C host programs read streams the same way. */
#ifndef ISTREL_SYNTAX_NAL_UNIT_H
#define ISTREL_SYNTAX_NAL_UNIT_H

#ifdef __cplusplus
namespace H264 {
#endif

enum NalUnitType {
  kNalNonIdrSlice = 1,
  kNalIdrSlice = 5,
  kNalSei = 6,
  kNalSps = 7,
  kNalPps = 8,
  kNalAccessUnitDelimiter = 9,
  kNalEndOfSequence = 10,
  kNalEndOfStream = 11,
  kNalFiller = 12
};

static inline unsigned nalUnitType(unsigned header) { return header & 0x1Fu; }

static inline unsigned nalRefIdc(unsigned header) { return (header >> 5) & 3u; }

static inline unsigned char nalHeaderByte(unsigned refIdc, unsigned type) {
  return (unsigned char)(((refIdc & 3u) << 5) | (type & 0x1Fu));
}

/* A coded slice of an I picture's kind: non-IDR (1) or IDR (5). */
static inline int isCodedSlice(unsigned header) {
  const unsigned type = nalUnitType(header);
  return type == kNalNonIdrSlice || type == kNalIdrSlice;
}

static inline int isParameterSet(unsigned header) {
  const unsigned type = nalUnitType(header);
  return type == kNalSps || type == kNalPps;
}

#ifdef __cplusplus
}  // namespace H264
#endif

#endif
