#include "istrel/frame_source.h"

#include "common/stream_decoder.h"
#include "istrel/host_session.h"
#include "syntax/parameter_sets.h"
#include "syntax/parameters_decoder.h"
#include "syntax/picture_format.h"

namespace istrel::tools {
namespace {

class ExportedSource : public FrameSource {
 public:
  ExportedSource(const H264::SeqParameterSet& sps, bool preview)
      : sps_(sps),
        preview_(preview),
        session_(sps.chroma_format_idc == 2,
                 static_cast<int>(H264::PictureFormat::of(sps).lumaWidth),
                 static_cast<int>(H264::croppedHeight(sps))) {}

  std::string decode(const AnnexBStream& stream, const AccessUnit& unit) override {
    const std::uint8_t* bytes = stream.bytes.data() + unit.begin;
    std::size_t size = unit.end - unit.begin;
    if (!primed_) {
      int status = session_.readAspectRatio(bytes, size);
      if (status != ISTREL_STATUS_OK || !session_.handle().parametersRead) {
        return "AVCIReadAspectRatio returned " + std::to_string(status);
      }
      primed_ = true;
    }
    int status = session_.decode(bytes, size, !preview_);
    return status == ISTREL_STATUS_OK ? "" : "AVCIDecodeFrame returned " + std::to_string(status);
  }
  PictureView view() const override {
    PictureView v = session_.view(sps_);
    return preview_ ? previewOf(v) : v;
  }
  const std::vector<char>& v210() override {
    v210_.assign(
        session_.v210().begin(),
        session_.v210().begin() + static_cast<std::ptrdiff_t>(session_.v210FrameBytes(!preview_)));
    return v210_;
  }
  unsigned errorFlags() const override { return session_.errorFlags(); }

 private:
  const H264::SeqParameterSet& sps_;
  bool preview_;
  HostSession session_;
  bool primed_ = false;
  std::vector<char> v210_;
};

class ClassSource : public FrameSource {
 public:
  ClassSource(H264::DecodeMode mode, bool preview) : decoder_(mode), preview_(preview) {}

  std::string decode(const AnnexBStream& stream, const AccessUnit& unit) override {
    return decoder_.decode(stream, unit) ? "" : "no usable parameter sets before this frame";
  }
  PictureView view() const override {
    return preview_ ? previewOf(decoder_.view()) : decoder_.view();
  }
  const std::vector<char>& v210() override;
  unsigned errorFlags() const override { return decoder_.core().errorFlags(); }

 private:
  StreamDecoder decoder_;
  bool preview_;
  std::vector<char> v210_;
};

// The library's own conversion, over the whole coded width as the host sees it.
const std::vector<char>& ClassSource::v210() {
  const H264::V210Target target = decoder_.core().streamTarget(!preview_);
  v210_.assign(H264::v210Bytes(target), 0);
  decoder_.core().convertToV210(v210_.data(), target);
  return v210_;
}

}  // namespace

std::unique_ptr<FrameSource> exportedSource(const H264::SeqParameterSet& sps, bool preview) {
  return std::make_unique<ExportedSource>(sps, preview);
}

std::unique_ptr<FrameSource> classSource(H264::DecodeMode mode, bool preview) {
  return std::make_unique<ClassSource>(mode, preview);
}

}  // namespace istrel::tools
