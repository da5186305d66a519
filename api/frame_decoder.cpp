#include "api/frame_decoder.h"

#include "syntax/picture_format.h"

namespace H264 {

V210Target FrameDecoder::streamTarget(bool fullResolution) const {
  const PictureFormat& f = core_.pictureFormat();
  const SeqParameterSet* sps = core_.pictureSps();
  return {static_cast<int>(f.lumaWidth), static_cast<int>(sps ? croppedHeight(*sps) : f.lumaHeight),
          f.chromaHeight == f.lumaHeight, fullResolution};
}

}  // namespace H264
