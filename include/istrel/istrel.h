/*
 * Istrel: a decoder for intra-only, high-bit-depth H.264 (AVC-Intra kind),
 * loaded by a video-editing host and driven through six C functions. The
 * shared library (libistrel.so.MAJOR, istrel.dll) exports these six and
 * nothing else; istrel/version.h gives the version it was built as.
 *
 * CALLING ORDER
 *   1. h = AVCINewTepDecoder();            a handle, not open yet
 *   2. AVCIFileOpen(h);                    creates the decoder core
 *   3. h->is422, h->width, h->height       what the host wants delivered
 *   4. AVCIReadAspectRatio(h, copy of the first frame, size);
 *                                          reads the parameter sets, sizes the
 *                                          picture, sets sarWidth/sarHeight
 *   5. AVCIDecodeFrame(NULL, h, copy of frame N, size, v210, full);
 *                                          once per frame, the first included
 *                                          (step 4 decodes nothing)
 *   6. AVCIFileClose(h); AVCIntraDispose(h);
 * A closed handle may be opened again; its new core knows no parameter sets,
 * so step 4 comes again before decoding (AVCIFileClose leaves parametersRead
 * as it was).
 *
 * FRAMES
 * A frame is the Annex B bytes (start codes 00 00 01 or 00 00 00 01) of one
 * coded frame: its access unit, or both fields of a field pair. Only coded
 * slice NAL units (nal_unit_type 1 and 5) are decoded, the first ten in the
 * buffer; further slices and all other NAL units are skipped. The decoder
 * keeps no reference between frames, so any frame may follow any other.
 *
 * THE CALLER'S BUFFERS
 * - `data` (AVCIReadAspectRatio, AVCIDecodeFrame) is rewritten in place:
 *   NAL units are unescaped (emulation_prevention_three_byte removed,
 *   clause 7.4.1) into the same buffer. Bytes data[0] to data[size - 1] may
 *   all change and no longer form a stream afterwards: hand the library a
 *   copy when the frame is needed again, a fresh one for every call. Nothing
 *   before data[0] or from data[size] on is read or written, so the buffer
 *   needs no slack.
 * - `output` (AVCIDecodeFrame) receives v210, rows one after the other, each
 *   R bytes long, R being the host's v210 row length for the delivered width
 *   (zonmediatypes::UncompressedPixelFormatRowBytes: 128 bytes for every
 *   started group of 48 pixels). Delivered size: width x height, or
 *   width / 2 x height / 2 when fullResolution is false. With H delivered
 *   rows, the picture is converted in 6 stripes (3 at half size) of H / 6
 *   (H / 3) rows each, rounded down: the last H mod 6 (H mod 3) rows are left
 *   as they were. In each row written, 16 bytes per started group of 6 pixels
 *   are written; the padding after them is left as it was. The buffer must
 *   hold R x H bytes.
 * - `planes` of the handle point into the library's own picture memory.
 *
 * THREADS
 * Calls on one handle must not overlap: one thread at a time, any thread.
 * Different handles may be used from different threads at once.
 * AVCIDecodeFrame hands the slices of the frame, then the v210 stripes, to
 * the host's thread service
 * (zoncore::threads::ExecuteCPUBoundTaskOnAllProcessors) and returns once all
 * of it has finished; nothing runs between calls. This build links the
 * stand-in thread service of host/, whose worker threads are the only threads
 * the library creates: one per processor but one (the calling thread works
 * too), shared by every handle of the process. They start with the first
 * AVCIDecodeFrame after a handle is opened (AVCIFileOpen starts none), and the
 * AVCIFileClose that closes the last open handle stops and joins them on the
 * calling thread before it returns. Nothing that runs when the library is
 * unloaded or the process exits waits for a thread. Hence:
 * - The library (istrel.dll, libistrel.so) may be unloaded (FreeLibrary,
 *   dlclose) once every handle has been closed and disposed, and loaded
 *   again afterwards. It must not be unloaded while a handle is open, nor
 *   after an open handle was disposed (its core and the workers live on).
 * - A process that exits with handles open just exits: the workers end with
 *   the process; the open cores are not freed.
 *
 * ERRORS
 * No function lets an exception escape, and the library writes nothing to
 * any log. The statuses below are what AVCIReadAspectRatio and
 * AVCIDecodeFrame return; the checks run in the order given with each
 * function. Damage inside a slice is not a status: see AVCIDecodeFrame.
 */
#ifndef ISTREL_ISTREL_H
#define ISTREL_ISTREL_H

#ifdef __cplusplus
#include <cstddef>
#else
#include <stdbool.h>
#include <stddef.h>
#endif

/* ISTREL_API marks the six functions. On Windows the library is compiled with
 * ISTREL_BUILDING_LIBRARY and exports them with dllexport, which also keeps
 * every other symbol out of the DLL (GNU ld exports all symbols only when none
 * is marked); hosts see dllimport. Elsewhere they have default visibility in a
 * library built with hidden visibility and a version script. */
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

/* Statuses of AVCIReadAspectRatio and AVCIDecodeFrame (int return values). */
enum {
  /* Success. Also AVCIReadAspectRatio on data without a sequence parameter set. */
  ISTREL_STATUS_OK = 0,
  /* Memory ran out. The handle stays usable; the picture or output may be
   * partly written. */
  ISTREL_STATUS_OUT_OF_MEMORY = 1,
  /* AVCIDecodeFrame before AVCIReadAspectRatio succeeded (parametersRead 0):
   * neither `data` nor `output` was touched. */
  ISTREL_STATUS_NOT_READY = 2,
  /* AVCIReadAspectRatio: a parameter set is malformed or unsupported
   * (chroma_format_idc above 3, bit depths above 14, more than 32 HRD
   * schedules, slice groups, pictures wider or taller than 16384 samples,
   * cropping that leaves no picture, a missing stop bit), no picture
   * parameter set follows the sequence parameter set, or no sequence
   * parameter set with id 0 is known. parametersRead is left as it was. */
  ISTREL_STATUS_PARAMETER_SET_ERROR = 4,
  /* The call was refused: null or closed handle, unusable data, size or
   * output, or host fields that do not fit the stream (width other than the
   * coded width, height above the coded height, is422 on a stream whose
   * chroma planes have fewer rows than its luma plane, a 4:4:4 stream).
   * Nothing was written to the output, `data` or the handle. (An
   * unexpected internal failure during the work also returns it.) */
  ISTREL_STATUS_REFUSED = 32
};

/* The decoder handle. Its layout is shared with the host (64 bytes on 64-bit
 * systems, checked below). AVCINewTepDecoder sets only isOpen and
 * parametersRead; every other field is indeterminate until written as
 * described with it. */
typedef struct AVCIntraInfo {
  /* Written by AVCIDecodeFrame (after decoding, before the v210 conversion):
   * luma, Cb and Cr planes of the decoded picture, unsigned 16-bit samples at
   * the stream's bit depth, rows packed with no gap. The luma plane is the
   * coded size (16 x PicWidthInMbs by 16 x FrameHeightInMbs, no cropping),
   * each chroma plane half as wide, and half as tall for 4:2:0. They point
   * into the decoder core's memory: read-only for the host, valid until the
   * next AVCIDecodeFrame or AVCIFileClose on the handle. */
  unsigned char* planes[3];
  /* Written by the library: 1 from AVCIFileOpen to AVCIFileClose, else 0. */
  int isOpen;
  /* Written by the library: the decoder core, owned by it and opaque to the
   * host. Meaningful only while isOpen is 1. */
#ifdef __cplusplus
  H264::H264Decoder* decoder;
#else
  void* decoder;
#endif
  /* Written by the library: 0 from AVCINewTepDecoder, 1 once
   * AVCIReadAspectRatio has read a sequence and a picture parameter set.
   * AVCIDecodeFrame needs it. */
  int parametersRead;
  /* Written by the host before AVCIReadAspectRatio: true for 4:2:2 with
   * square pixels, false for 4:2:0 with 4:3 pixels. It chooses the aspect
   * ratio reported when the stream states none, and how AVCIDecodeFrame maps
   * chroma rows to output rows: true on a 4:2:0 stream is refused; false on
   * a 4:2:2 stream is accepted but maps output row r to chroma row r / 2, as
   * for 4:2:0, which is wrong for that stream. */
  bool is422;
  /* Written by the host before AVCIDecodeFrame: luma rows to deliver, from
   * the top, 0 to the coded height (16 x FrameHeightInMbs, e.g. 1088 for a
   * 1080-line stream). */
  int height;
  /* Written by the host before AVCIDecodeFrame: luma samples per row; must
   * equal the coded width, 16 x PicWidthInMbs (e.g. 1920, or 208 for a
   * stream cropped to 200). */
  int width;
  /* Written by AVCIReadAspectRatio when it sets parametersRead: the sample
   * aspect ratio sarWidth:sarHeight of the stream's VUI (aspect_ratio_idc 1
   * to 13 from Table E-1, 255 as coded); without one, 1:1 when is422 is
   * true and 4:3 when it is false. */
  int sarWidth;
  int sarHeight;
} AVCIntraInfo;

/* A new handle with isOpen and parametersRead 0 (other fields indeterminate);
 * null when memory runs out. */
ISTREL_API AVCIntraInfo* AVCINewTepDecoder(void);

/* Creates the decoder core (sets decoder, isOpen 1). Returns 1 on success or
 * when the handle is already open (the core is kept); 0 when the handle is
 * null or the core cannot be built (isOpen stays 0). */
ISTREL_API int AVCIFileOpen(AVCIntraInfo* handle);

/* Destroys the decoder core, if the handle is open, and sets isOpen to 0;
 * planes and decoder are then dangling. Closing a closed or null handle does
 * nothing. Always returns 1. */
ISTREL_API int AVCIFileClose(AVCIntraInfo* handle);

/* Frees the handle. Close it first: an open handle's core is not destroyed
 * (it leaks). A null handle is ignored. */
ISTREL_API void AVCIntraDispose(AVCIntraInfo* handle);

/* Reads the first sequence parameter set of `data` and the first picture
 * parameter set after it, then sets sarWidth, sarHeight and parametersRead
 * (1). The first success on an open core allocates the picture for sequence
 * parameter set 0; later calls update the parameter sets and the aspect
 * ratio but keep that picture size. `data` is rewritten in place: each of
 * the two sets is unescaped into its first bytes; `size` bytes are used.
 * Returns, checked in this order:
 *   ISTREL_STATUS_REFUSED            handle null or not open; size below 0;
 *                                    data null with size above 0
 *   ISTREL_STATUS_OK                 no sequence parameter set in the data
 *                                    (nothing else happens), or success
 *   ISTREL_STATUS_PARAMETER_SET_ERROR see the status
 *   ISTREL_STATUS_OUT_OF_MEMORY      memory ran out (for the picture, say) */
ISTREL_API int AVCIReadAspectRatio(AVCIntraInfo* handle, unsigned char* data, int size);

/* Decodes the frame in `data` (`size` bytes, rewritten in place, see above)
 * into the picture, points planes at it and writes it to `output` as v210:
 * width x height, or half of each when fullResolution is false (see THE
 * CALLER'S BUFFERS). `reserved` is ignored. Samples of other depths than 10
 * bits are shifted to 10 bits.
 * Returns, checked in this order:
 *   ISTREL_STATUS_REFUSED       handle null or not open
 *   ISTREL_STATUS_NOT_READY     parametersRead is 0
 *   ISTREL_STATUS_REFUSED       data or output null, size below 0, or host
 *                               fields that do not fit the picture: width not
 *                               the coded width, height below 0 or above the
 *                               coded height, a 4:4:4 stream (v210 carries
 *                               only 4:2:2 and 4:2:0), is422 true on 4:2:0
 *   ISTREL_STATUS_OUT_OF_MEMORY memory ran out
 *   ISTREL_STATUS_OK            otherwise, also when slices failed
 * A slice that cannot be decoded (not an I slice, naming a parameter set
 * never received or of another picture size or bit depth than the picture,
 * first_mb_in_slice outside the picture, slice QP out of range, damaged
 * data) stops where it fails; the area it did not decode keeps the previous
 * frame's samples (black before the first frame), the rest of the
 * frame decodes, and the call returns ISTREL_STATUS_OK. A frame without
 * slices delivers the previous picture again. */
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
