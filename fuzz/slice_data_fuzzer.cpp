// Decodes the input as the slice data of one slice behind fixed, valid
// parameter sets, so that nearly every input reaches the macroblock layer
// (and, in conformant mode, the deblocking filter).
//
// Input: the four configuration bytes of fuzz/slice_data_stream.h, then the
// slice data (for CAVLC it follows the slice header bit by bit, for CABAC
// from the byte boundary after cabac_alignment_one_bit).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/h264_decoder.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/slice_data_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using istrel::fuzz::SliceDataConfig;
  if (size < SliceDataConfig::kBytes || size > (1u << 20)) return 0;
  const SliceDataConfig config = SliceDataConfig::read(data);

  // Four-byte start codes, emulation prevention as an encoder inserts it.
  std::vector<std::uint8_t> parameterSets;
  istrel::test::appendNal(parameterSets, istrel::test::kSpsNal, istrel::fuzz::sliceDataSps(config),
                          true, true);
  istrel::test::appendNal(parameterSets, istrel::test::kPpsNal, istrel::fuzz::sliceDataPps(config),
                          true, true);

  H264::H264Decoder decoder(config.conformant ? H264::DecodeMode::kConformant
                                              : H264::DecodeMode::kCompatible);
  try {
    decoder.readParameterSets(parameterSets.data(), static_cast<int>(parameterSets.size()));
    decoder.allocatePicture();
  } catch (int) {
    return 0;  // a combination the decoder does not support
  }

  istrel::fuzz::BitWriter slice = istrel::fuzz::sliceDataHeader(config);
  slice.append(data + SliceDataConfig::kBytes, size - SliceDataConfig::kBytes);
  istrel::fuzz::ExactCopy payload(slice.bytes().data(), slice.bytes().size());
  decoder.beginFrame(1);
  decoder.decodeSlice(payload.data(), 0, static_cast<unsigned>(payload.size()),
                      static_cast<unsigned char>(config.nalRefIdc()), config.nalUnitType());
  // Conformant mode: the deblocking filter over whatever the slice decoded,
  // all its rows in this one task.
  if (decoder.beginDeblocking() > 0) decoder.deblockTask();
  return 0;
}
