#include "istrel/frame_writer.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace istrel::tools {
namespace {

// The extension in lower case.
std::string extensionOf(const std::string& path) {
  std::size_t dot = path.rfind('.');
  std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// Raw planar frames, as x264's --dump-yuv writes them.
class YuvWriter : public FrameWriter {
 public:
  using FrameWriter::FrameWriter;
  void write(const PictureView& view, const std::vector<char>&, const FrameTags&) override {
    for (int p = 0; p < 3; ++p) {
      std::vector<std::uint8_t> bytes = planeBytes(view, p);
      put(bytes.data(), bytes.size());
    }
  }
};

// YUV4MPEG2 with the frame rate, field order and sample aspect ratio of the
// first frame and the colour space tag of the sample format (C420p10 ...).
class Y4mWriter : public YuvWriter {
 public:
  using YuvWriter::YuvWriter;
  void write(const PictureView& view, const std::vector<char>& v210,
             const FrameTags& tags) override {
    if (!headerWritten_) {
      std::string header = "YUV4MPEG2 W" + std::to_string(view.width[0]) + " H" +
                           std::to_string(view.height[0]) + " F" + std::to_string(tags.rateNum) +
                           ":" + std::to_string(tags.rateDen) + " I" + tags.interlace + " A" +
                           std::to_string(tags.sarWidth) + ":" + std::to_string(tags.sarHeight) +
                           " C" + colourSpace(view) + "\n";
      put(header.data(), header.size());
      headerWritten_ = true;
    }
    put("FRAME\n", 6);
    YuvWriter::write(view, v210, tags);
  }

 private:
  static std::string colourSpace(const PictureView& view) {
    static const char* const kSampling[] = {"mono", "420", "422", "444"};
    std::string sampling = kSampling[view.chromaFormat & 3];
    if (view.bitDepth[0] == 8) return view.chromaFormat == 1 ? "420jpeg" : sampling;
    return sampling + "p" + std::to_string(view.bitDepth[0]);
  }

  bool headerWritten_ = false;
};

// The exported functions' output, frame after frame.
class V210Writer : public FrameWriter {
 public:
  using FrameWriter::FrameWriter;
  void write(const PictureView&, const std::vector<char>& v210, const FrameTags&) override {
    put(v210.data(), v210.size());
  }
  bool wantsV210() const override { return true; }
};

}  // namespace

FrameWriter::FrameWriter(const std::string& path)
    : path_(path), file_(std::fopen(path.c_str(), "wb"), &std::fclose) {
  if (!file_) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
}

FrameWriter::~FrameWriter() = default;

void FrameWriter::put(const void* data, std::size_t size) {
  if (std::fwrite(data, 1, size, file_.get()) != size) {
    throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(errno));
  }
}

bool knownOutputFormat(const std::string& path) {
  const std::string ext = extensionOf(path);
  return ext == "y4m" || ext == "yuv" || ext == "v210";
}

std::unique_ptr<FrameWriter> openFrameWriter(const std::string& path) {
  std::string ext = extensionOf(path);
  if (ext == "y4m") return std::make_unique<Y4mWriter>(path);
  if (ext == "yuv") return std::make_unique<YuvWriter>(path);
  if (ext == "v210") return std::make_unique<V210Writer>(path);
  throw std::runtime_error(path +
                           ": unknown output format (give a file name ending in .y4m, "
                           ".yuv or .v210)");
}

}  // namespace istrel::tools
