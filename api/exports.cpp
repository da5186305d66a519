// The six functions the host calls. Nothing thrown inside the library
// leaves them: failures become the statuses of istrel.h.
#include <zoncore/threads.h>

#include <new>

#include "api/aspect_ratio.h"
#include "api/frame_driver.h"
#include "api/v210_converter.h"
#include "base/errors.h"
#include "core/h264_decoder.h"
#include "istrel/istrel.h"

namespace H264 {
namespace {

template <typename Work>
int guarded(Work work) {
  try {
    work();
    return ISTREL_STATUS_OK;
  } catch (int code) {
    return code == kParameterSetError ? ISTREL_STATUS_PARAMETER_SET_ERROR : ISTREL_STATUS_OK;
  } catch (const std::bad_alloc&) {
    return ISTREL_STATUS_OUT_OF_MEMORY;
  } catch (...) {
    return ISTREL_STATUS_REFUSED;
  }
}

bool isOpen(const AVCIntraInfo* handle) { return handle && handle->isOpen && handle->decoder; }

// The conversion reads the picture with the host's width as its stride and
// up to the host's height: both must fit the picture that was allocated.
bool hostFieldsFit(const AVCIntraInfo& handle, const PictureFormat& format) {
  if (handle.width <= 0 || handle.height < 0) return false;
  auto width = static_cast<std::uint32_t>(handle.width);
  auto height = static_cast<std::uint32_t>(handle.height);
  if (width != format.lumaWidth || height > format.lumaHeight) return false;
  if (format.chromaWidth != width / 2) return false;  // v210 carries 4:2:2 and 4:2:0 only
  return !handle.is422 || format.chromaHeight >= format.lumaHeight;
}

// The core behind an open handle. It keeps the thread service's workers up
// while it exists; AVCIFileClose deletes it through the core's virtual
// destructor, and the close of the last open handle joins the workers.
class HandleCore final : public H264Decoder {
  zoncore::threads::WorkerLease workers_;
};

// The addresses of the picture's luma, Cb and Cr planes, for the host.
void getPlanes(const H264Decoder& core, AVCIntraInfo& handle) {
  for (int i = 0; i < 3; ++i) {
    handle.planes[i] = reinterpret_cast<unsigned char*>(core.picture().plane(i));
  }
}

}  // namespace
}  // namespace H264

using namespace H264;

extern "C" {

ISTREL_API AVCIntraInfo* AVCINewTepDecoder(void) {
  auto* handle = new (std::nothrow) AVCIntraInfo;
  if (!handle) return nullptr;
  handle->isOpen = 0;
  handle->parametersRead = 0;
  return handle;
}

ISTREL_API int AVCIFileOpen(AVCIntraInfo* handle) {
  if (!handle) return 0;
  if (handle->isOpen == 1) return 1;
  try {
    handle->decoder = new HandleCore();
  } catch (...) {
    return 0;
  }
  handle->isOpen = 1;
  return 1;
}

ISTREL_API int AVCIFileClose(AVCIntraInfo* handle) {
  if (!handle) return 1;
  if (handle->isOpen && handle->decoder) {
    try {
      delete handle->decoder;
    } catch (...) {
    }
  }
  handle->isOpen = 0;
  return 1;
}

ISTREL_API void AVCIntraDispose(AVCIntraInfo* handle) { delete handle; }

ISTREL_API int AVCIReadAspectRatio(AVCIntraInfo* handle, unsigned char* data, int size) {
  if (!isOpen(handle) || size < 0 || (!data && size > 0)) return ISTREL_STATUS_REFUSED;
  return guarded([&] { readAspectRatio(handle, data, size); });
}

ISTREL_API int AVCIDecodeFrame(void* /*reserved*/, AVCIntraInfo* handle, unsigned char* data,
                               int size, char* output, bool fullResolution) {
  if (!isOpen(handle)) return ISTREL_STATUS_REFUSED;
  if (!handle->parametersRead) return ISTREL_STATUS_NOT_READY;
  H264Decoder& core = *handle->decoder;
  if (!data || size < 0 || !output || !hostFieldsFit(*handle, core.pictureFormat())) {
    return ISTREL_STATUS_REFUSED;
  }
  return guarded([&] {
    FrameDriver(core).decodeFrame(data, size);
    getPlanes(core, *handle);
    convertToV210(core, output, {handle->width, handle->height, handle->is422, fullResolution});
  });
}

}  // extern "C"
