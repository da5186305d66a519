/*
 * Istrel: a decoder for intra-only, high-bit-depth H.264 (AVC-Intra kind),
 * loaded by a video-editing host and driven through six C functions.
 *
 * Calling order:
 *   AVCINewTepDecoder -> AVCIFileOpen -> (set is422, width, height)
 *   -> AVCIReadAspectRatio on a frame carrying the parameter sets
 *   -> AVCIDecodeFrame once per frame -> AVCIFileClose -> AVCIntraDispose.
 *
 * One handle must not be used by two threads at once; different handles
 * share nothing. No function lets an exception escape, and the library
 * writes nothing to any log.
 */
#ifndef ISTREL_ISTREL_H
#define ISTREL_ISTREL_H

#ifdef __cplusplus
#include <cstddef>
#else
#include <stdbool.h>
#include <stddef.h>
#endif

#if defined(_WIN32)
#if defined(ISTREL_BUILDING_LIBRARY)
#define ISTREL_API __declspec(dllexport)
#else
#define ISTREL_API __declspec(dllimport)
#endif
#else
#define ISTREL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
namespace H264 {
class H264Decoder;
}
extern "C" {
#endif

/* Statuses of AVCIReadAspectRatio and AVCIDecodeFrame. */
enum {
  /* Success. Also AVCIReadAspectRatio on data without a sequence parameter set. */
  ISTREL_STATUS_OK = 0,
  /* Memory ran out. */
  ISTREL_STATUS_OUT_OF_MEMORY = 1,
  /* AVCIDecodeFrame before AVCIReadAspectRatio succeeded: nothing was touched. */
  ISTREL_STATUS_NOT_READY = 2,
  /* A parameter set is malformed or unsupported, a picture parameter set is
   * missing after the sequence parameter set, or no sequence parameter set
   * with id 0 is known. */
  ISTREL_STATUS_PARAMETER_SET_ERROR = 4,
  /* The call was refused: null or closed handle, unusable data, size or
   * output, or host fields that do not fit the stream (width other than the
   * coded width, height above the coded height, is422 on a stream whose
   * chroma planes have fewer rows than its luma plane, a 4:4:4 stream).
   * Nothing was written to the output. */
  ISTREL_STATUS_REFUSED = 32
};

/* The decoder handle. Its layout is shared with the host. */
typedef struct AVCIntraInfo {
  /* Luma, Cb and Cr planes of the decoded picture: unsigned 16-bit samples,
   * rows packed with no gap; set after each decoded frame. */
  unsigned char* planes[3];
  /* 1 while a decoder core exists. */
  int isOpen;
#ifdef __cplusplus
  H264::H264Decoder* decoder;
#else
  void* decoder;
#endif
  /* 1 once the parameter sets have been read; decoding needs it. */
  int parametersRead;
  /* Written by the host: true for 4:2:2 with square pixels, false for 4:2:0
   * with 4:3 pixels (the default aspect ratio and the chroma row mapping). */
  bool is422;
  /* Written by the host: luma rows to deliver (at most the coded height). */
  int height;
  /* Written by the host: luma samples per row (must equal the coded width). */
  int width;
  /* Pixel aspect ratio, written by AVCIReadAspectRatio. */
  int sarWidth;
  int sarHeight;
} AVCIntraInfo;

/* A new handle with isOpen and parametersRead 0; null when memory runs out. */
ISTREL_API AVCIntraInfo* AVCINewTepDecoder(void);

/* Creates the decoder core. 1 on success or when already open; 0 when the
 * handle is null or the core cannot be built (isOpen stays 0). */
ISTREL_API int AVCIFileOpen(AVCIntraInfo* handle);

/* Destroys the decoder core (once) and clears isOpen. Always 1. */
ISTREL_API int AVCIFileClose(AVCIntraInfo* handle);

/* Frees the handle; close it first. A null handle is ignored. */
ISTREL_API void AVCIntraDispose(AVCIntraInfo* handle);

/* Reads the first sequence and picture parameter sets of `data` (rewriting
 * its first bytes in place), allocates the picture on the first success, and
 * sets sarWidth, sarHeight and parametersRead. Returns an ISTREL_STATUS. */
ISTREL_API int AVCIReadAspectRatio(AVCIntraInfo* handle, unsigned char* data, int size);

/* Decodes one frame of `data` (unescaped in place) and writes it to `output`
 * as v210: width x height, or half of each when fullResolution is false, rows
 * as long as the host's v210 row length for that width. Slices that fail keep
 * the previous frame's samples in their area; the call still returns 0.
 * `reserved` is ignored. Returns an ISTREL_STATUS. */
ISTREL_API int AVCIDecodeFrame(void* reserved, AVCIntraInfo* handle, unsigned char* data, int size,
                               char* output, bool fullResolution);

#ifdef __cplusplus
}  // extern "C"
namespace H264 {
using ::AVCIntraInfo;
}
#define ISTREL_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define ISTREL_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#if defined(_WIN64) || (defined(__SIZEOF_POINTER__) && __SIZEOF_POINTER__ == 8)
ISTREL_STATIC_ASSERT(offsetof(AVCIntraInfo, planes) == 0, "planes");
ISTREL_STATIC_ASSERT(offsetof(AVCIntraInfo, isOpen) == 24, "isOpen");
ISTREL_STATIC_ASSERT(offsetof(AVCIntraInfo, decoder) == 32, "decoder");
ISTREL_STATIC_ASSERT(offsetof(AVCIntraInfo, parametersRead) == 40, "parametersRead");
ISTREL_STATIC_ASSERT(offsetof(AVCIntraInfo, is422) == 44, "is422");
ISTREL_STATIC_ASSERT(offsetof(AVCIntraInfo, height) == 48, "height");
ISTREL_STATIC_ASSERT(offsetof(AVCIntraInfo, width) == 52, "width");
ISTREL_STATIC_ASSERT(offsetof(AVCIntraInfo, sarWidth) == 56, "sarWidth");
ISTREL_STATIC_ASSERT(offsetof(AVCIntraInfo, sarHeight) == 60, "sarHeight");
ISTREL_STATIC_ASSERT(sizeof(AVCIntraInfo) == 64, "AVCIntraInfo size");
#endif

#endif /* ISTREL_ISTREL_H */
