#include "istrel/frame_source.h"

#include <optional>

#include "common/stream_decoder.h"
#include "istrel/host_session.h"
#include "syntax/parameter_sets.h"
#include "syntax/parameters_decoder.h"
#include "syntax/stream_parser.h"

namespace istrel::tools {
namespace {

// The host's fields for the pictures of a sequence parameter set.
struct HostFormat {
  H264::PictureFormat layout;
  bool is422 = false;
  int width = 0;
  int height = 0;
  bool operator==(const HostFormat& o) const {
    return layout.sameLayout(o.layout) && is422 == o.is422 && width == o.width &&
           height == o.height;
  }
};

HostFormat hostFormatOf(const H264::SeqParameterSet& sps) {
  HostFormat f;
  f.layout = H264::PictureFormat::of(sps);
  f.is422 = sps.chroma_format_idc == 2;
  f.width = static_cast<int>(f.layout.lumaWidth);
  f.height = static_cast<int>(H264::croppedHeight(sps));
  return f;
}

// "AVCIDecodeFrame returned 32 (refused)".
std::string statusText(const char* function, int status) {
  const char* meaning = status == ISTREL_STATUS_OUT_OF_MEMORY         ? "out of memory"
                        : status == ISTREL_STATUS_NOT_READY           ? "no parameter sets read"
                        : status == ISTREL_STATUS_PARAMETER_SET_ERROR ? "parameter set error"
                        : status == ISTREL_STATUS_REFUSED             ? "refused"
                                                                      : "unknown status";
  return std::string(function) + " returned " + std::to_string(status) + " (" + meaning + ")";
}

class ExportedSource : public FrameSource {
 public:
  explicit ExportedSource(bool preview) : preview_(preview) {}

  std::string decode(const AnnexBStream& stream, const AccessUnit& unit) override {
    std::string problem = readParameterSets(stream, unit);
    if (!problem.empty()) return problem;
    if (!session_) return "no parameter sets before this frame";
    int status =
        session_->decode(stream.bytes.data() + unit.begin, unit.end - unit.begin, !preview_);
    return status == ISTREL_STATUS_OK ? "" : statusText("AVCIDecodeFrame", status);
  }
  PictureView view() const override {
    PictureView v = session_->view(display_);
    return preview_ ? previewOf(v) : v;
  }
  const DisplayInfo& display() const override { return display_; }
  const std::vector<char>& v210() override {
    v210_.assign(session_->v210().begin(),
                 session_->v210().begin() +
                     static_cast<std::ptrdiff_t>(session_->v210FrameBytes(!preview_)));
    return v210_;
  }
  const H264::H264Decoder& core() const override { return session_->core(); }

 private:
  // New parameter sets in a frame are read as a host reads them: the host
  // learns the picture format from sequence parameter set 0, opens the
  // handle again when the format changed (a core allocates its picture
  // once), and primes it with AVCIReadAspectRatio.
  std::string readParameterSets(const AnnexBStream& stream, const AccessUnit& unit) {
    std::vector<std::uint8_t> sets;
    bool sequence = false;
    for (std::size_t i = unit.firstNal; i < unit.firstNal + unit.nalCount; ++i) {
      const NalUnit& nal = stream.nals[i];
      if (!nal.isParameterSet()) continue;
      sequence = sequence || nal.type() == H264::kNalSps;
      sets.insert(sets.end(), stream.bytes.begin() + static_cast<std::ptrdiff_t>(nal.offset),
                  stream.bytes.begin() + static_cast<std::ptrdiff_t>(nal.offset + nal.size));
    }
    if (!sequence || sets == sets_) return "";
    sets_ = std::move(sets);
    for (std::size_t i = unit.firstNal; i < unit.firstNal + unit.nalCount; ++i) {
      const NalUnit& nal = stream.nals[i];
      if (!nal.isParameterSet()) continue;
      std::vector<std::uint8_t> rbsp = rbspOf(stream, nal);
      H264::StreamParser parser(rbsp.data(), static_cast<std::uint32_t>(rbsp.size()),
                                H264::kParameterSetError);
      try {
        parameters_.parseNal(parser, nal.type());
      } catch (int) {
        // The library reports it when it reads the set.
      }
    }
    const H264::SeqParameterSet* sps = parameters_.sps(0);
    if (!sps) return "no sequence parameter set 0, which the exported functions need";
    const HostFormat format = hostFormatOf(*sps);
    if (!session_) {
      session_.emplace(format.is422, format.width, format.height);
    } else if (!(format == format_)) {
      session_->reopen(format.is422, format.width, format.height);
    }
    format_ = format;
    int status = session_->readAspectRatio(stream.bytes.data() + unit.begin, unit.end - unit.begin);
    if (status != ISTREL_STATUS_OK || !session_->handle().parametersRead) {
      return statusText("AVCIReadAspectRatio", status);
    }
    display_ = displayInfoOf(*sps);
    return "";
  }

  bool preview_;
  std::optional<HostSession> session_;
  HostFormat format_;
  H264::ParametersDecoder parameters_;  // what the host knows of the stream
  std::vector<std::uint8_t> sets_;      // the parameter sets last primed
  DisplayInfo display_;
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
  const DisplayInfo& display() const override { return decoder_.display(); }
  const std::vector<char>& v210() override;
  const H264::H264Decoder& core() const override { return decoder_.core(); }

 private:
  StreamDecoder decoder_;
  bool preview_;
  std::vector<char> v210_;
};

// The library's own conversion, over the whole coded width as the host sees it.
const std::vector<char>& ClassSource::v210() {
  const H264::V210Target target = decoder_.frameDecoder().streamTarget(!preview_);
  v210_.assign(target.geometry().bytes(), 0);
  decoder_.frameDecoder().convertToV210(v210_.data(), target);
  return v210_;
}

}  // namespace

std::unique_ptr<FrameSource> exportedSource(bool preview) {
  return std::make_unique<ExportedSource>(preview);
}

std::unique_ptr<FrameSource> classSource(H264::DecodeMode mode, bool preview) {
  return std::make_unique<ClassSource>(mode, preview);
}

std::size_t failedSlices(const H264::H264Decoder& core) {
  std::size_t failed = 0;
  for (std::size_t i = 0; i < core.sliceCount(); ++i) failed += core.sliceStatistics(i).failed;
  return failed;
}

}  // namespace istrel::tools
