// v210 packing in plain C++.
#include "dsp/kernel_levels.h"
#include "dsp/v210_group.h"

namespace H264::plain {
namespace {

template <int kStep>
void pack(char* out, const unsigned short* luma, const unsigned short* cb, const unsigned short* cr,
          int groups, V210Shift shift) {
  for (int g = 0; g < groups; ++g) {
    v210::storeGroup(out + g * v210::kGroupBytes,
                     v210::loadGroup(luma + 6 * g * kStep, cb + 3 * g * kStep, cr + 3 * g * kStep,
                                     kStep, 6, shift));
  }
}

}  // namespace

void fillV210(Kernels<unsigned short>& k) {
  k.packV210 = pack<1>;
  k.packV210Preview = pack<2>;
}

}  // namespace H264::plain
