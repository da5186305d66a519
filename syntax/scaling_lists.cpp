#include "syntax/scaling_lists.h"

#include "base/errors.h"
#include "syntax/stream_parser.h"
#include "syntax/tables.h"

namespace H264 {
namespace {

void readScalingList(StreamParser& parser, std::uint8_t* list, int size, bool& useDefault) {
  const std::uint8_t* scan = size == 16 ? kZigzagScan4x4 : kZigzagScan8x8;
  int lastScale = 8;
  int nextScale = 8;
  for (int j = 0; j < size; ++j) {
    if (nextScale != 0) {
      std::int32_t delta = parser.readSe();
      if (delta < -128 || delta > 127) fail(kParameterSetError);
      nextScale = (lastScale + delta + 256) % 256;
      useDefault = j == 0 && nextScale == 0;
    }
    list[scan[j]] = static_cast<std::uint8_t>(nextScale == 0 ? lastScale : nextScale);
    lastScale = list[scan[j]];
  }
}

bool isIntraSlot(int slot) { return slot < 6 ? slot < 3 : (slot % 2) == 0; }

// Slots 0, 3, 6 and 7 start a fall-back chain; the others repeat the slot
// before them (4x4) or two before them (8x8).
bool startsChain(int slot) { return slot == 0 || slot == 3 || slot == 6 || slot == 7; }
int chainSource(int slot) { return slot < 6 ? slot - 1 : slot - 2; }

const std::uint8_t* defaultList(int slot) {
  if (!isIntraSlot(slot)) return nullptr;
  return slot < 6 ? kDefaultScaling4x4Intra : kDefaultScaling8x8Intra;
}

const std::uint8_t* storedList(const ScalingMatrix& m, int slot) {
  return slot < 6 ? m.ScalingList4x4[slot] : m.ScalingList8x8[slot - 6];
}

const std::uint8_t*& slotEntry(WeightLists& w, int slot) {
  return slot < 6 ? w.list4x4[slot] : w.list8x8[slot - 6];
}

// Rule A sends an absent chain start to the default list; rule B keeps what
// the sequence-level selection gave it.
void assignSlots(const ScalingMatrix& m, bool ruleA, WeightLists& w) {
  for (int slot = 0; slot < 12; ++slot) {
    const std::uint8_t*& entry = slotEntry(w, slot);
    if (m.list_present_flag[slot]) {
      entry = m.UseDefaultScalingMatrixFlag[slot] ? defaultList(slot) : storedList(m, slot);
    } else if (startsChain(slot)) {
      if (ruleA) entry = defaultList(slot);
    } else {
      entry = slotEntry(w, chainSource(slot));
    }
  }
}

}  // namespace

void readScalingMatrix(StreamParser& parser, ScalingMatrix& matrix, int listCount) {
  for (int i = 0; i < listCount; ++i) {
    matrix.list_present_flag[i] = parser.readFlag();
    if (!matrix.list_present_flag[i]) continue;
    bool useDefault = false;
    if (i < 6) {
      readScalingList(parser, matrix.ScalingList4x4[i], 16, useDefault);
    } else {
      readScalingList(parser, matrix.ScalingList8x8[i - 6], 64, useDefault);
    }
    matrix.UseDefaultScalingMatrixFlag[i] = useDefault;
  }
}

WeightLists selectWeightLists(const SeqParameterSet& sps, const PicParameterSet& pps) {
  WeightLists w;
  for (int slot = 0; slot < 12; ++slot) {
    slotEntry(w, slot) = slot < 6 ? kFlatScaling4x4 : kFlatScaling8x8;
  }
  if (!sps.seq_scaling_matrix_present_flag && !pps.pic_scaling_matrix_present_flag) return w;
  w.flat = false;
  if (sps.seq_scaling_matrix_present_flag) assignSlots(sps.scaling, true, w);
  if (pps.pic_scaling_matrix_present_flag) {
    assignSlots(pps.scaling, !sps.seq_scaling_matrix_present_flag, w);
  }
  return w;
}

}  // namespace H264
