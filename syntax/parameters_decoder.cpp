#include "syntax/parameters_decoder.h"

#include "base/errors.h"
#include "syntax/nal_unit.h"
#include "syntax/stream_parser.h"

namespace H264 {

ParametersDecoder::ParametersDecoder(StreamParser* parser) : parser_(parser) {}

ParametersDecoder::~ParametersDecoder() = default;

const SeqParameterSet* ParametersDecoder::sps(std::uint32_t id) const {
  return id < kMaxSpsCount ? sps_[id].get() : nullptr;
}

const PicParameterSet* ParametersDecoder::pps(std::uint32_t id) const {
  return id < kMaxPpsCount ? pps_[id].get() : nullptr;
}

void ParametersDecoder::parseNal(StreamParser& parser, unsigned type) {
  struct Attach {
    ParametersDecoder& decoder;
    ~Attach() { decoder.setParser(nullptr); }
  } attach{*this};
  setParser(&parser);
  if (type == kNalSps) {
    parseSps();
  } else if (type == kNalPps) {
    parsePps();
  } else {
    fail(kParameterSetError);
  }
}

StreamParser& ParametersDecoder::parser() {
  if (!parser_) fail(kParameterSetError);
  return *parser_;
}

}  // namespace H264
