/* A host in a few pages of C: loads Istrel at run time, cuts an Annex B
 * stream into frames, decodes every frame to v210 and reports each status.
 *
 * usage: host_example LIBRARY STREAM.264 [--size WxH] [--420] [--preview]
 *                     [-o OUT.v210]
 *   LIBRARY   path of libistrel.so / istrel.dll
 *   --size    the picture size the host expects (default 1920x1080); the
 *             width must be the coded width, the height at most the coded one
 *   --420     the stream is 4:2:0 (default 4:2:2)
 *   --preview half-size frames
 *   -o        writes the v210 frames one after the other
 * Exit status: 0 when every frame decoded with ISTREL_STATUS_OK. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "istrel/istrel.h"
#include "syntax/nal_unit.h" /* plain C, no dependencies */

/* ---- Loading the library: the only part that differs between systems. ---- */

typedef void (*Symbol)(void);

#if defined(_WIN32)
#include <windows.h>
typedef HMODULE Library;
static Library libraryOpen(const char* path) { return LoadLibraryA(path); }
static Symbol librarySymbol(Library lib, const char* name) {
  FARPROC address = GetProcAddress(lib, name);
  Symbol fn;
  memcpy(&fn, &address, sizeof fn);
  return fn;
}
static void libraryClose(Library lib) { FreeLibrary(lib); }
static const char* libraryError(void) { return "LoadLibrary failed"; }
#else
#include <dlfcn.h>
typedef void* Library;
static Library libraryOpen(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static Symbol librarySymbol(Library lib, const char* name) {
  Symbol fn;
  void* address = dlsym(lib, name);
  memcpy(&fn, &address, sizeof fn); /* object to function pointer, as POSIX allows */
  return fn;
}
static void libraryClose(Library lib) { dlclose(lib); }
static const char* libraryError(void) { return dlerror(); }
#endif

/* The six functions, as include/istrel/istrel.h declares them. */
typedef struct Istrel {
  Library library;
  AVCIntraInfo* (*newDecoder)(void);
  int (*fileOpen)(AVCIntraInfo*);
  int (*fileClose)(AVCIntraInfo*);
  void (*dispose)(AVCIntraInfo*);
  int (*readAspectRatio)(AVCIntraInfo*, unsigned char*, int);
  int (*decodeFrame)(void*, AVCIntraInfo*, unsigned char*, int, char*, bool);
} Istrel;

#define BIND(field, name)                                          \
  do {                                                             \
    Symbol fn = librarySymbol(api->library, name);                 \
    if (!fn) {                                                     \
      fprintf(stderr, "host_example: %s is not exported\n", name); \
      return 0;                                                    \
    }                                                              \
    memcpy(&api->field, &fn, sizeof fn);                           \
  } while (0)

static int loadIstrel(Istrel* api, const char* path) {
  api->library = libraryOpen(path);
  if (!api->library) {
    fprintf(stderr, "host_example: cannot load %s: %s\n", path, libraryError());
    return 0;
  }
  BIND(newDecoder, "AVCINewTepDecoder");
  BIND(fileOpen, "AVCIFileOpen");
  BIND(fileClose, "AVCIFileClose");
  BIND(dispose, "AVCIntraDispose");
  BIND(readAspectRatio, "AVCIReadAspectRatio");
  BIND(decodeFrame, "AVCIDecodeFrame");
  return 1;
}

static const char* statusName(int status) {
  switch (status) {
    case ISTREL_STATUS_OK:
      return "ok";
    case ISTREL_STATUS_OUT_OF_MEMORY:
      return "out of memory";
    case ISTREL_STATUS_NOT_READY:
      return "not ready: no parameter sets read yet";
    case ISTREL_STATUS_PARAMETER_SET_ERROR:
      return "parameter set malformed, unsupported or missing";
    case ISTREL_STATUS_REFUSED:
      return "refused: handle, buffers or size/format do not fit the stream";
    default:
      return "unknown status";
  }
}

/* ---- Cutting the stream into frames. ---- */

typedef struct Frame {
  size_t offset;
  size_t size;
} Frame;

/* The position of the next start code prefix 00 00 01 at or after `from`,
 * or `size`. */
static size_t nextStartCode(const unsigned char* s, size_t size, size_t from) {
  for (size_t i = from; i + 3 <= size; ++i) {
    if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) return i;
  }
  return size;
}

/* Frames begin at a coded slice (nal_unit_type 1 or 5) whose
 * first_mb_in_slice is 0 (its ue(v) code is the single bit 1), or at the
 * access unit delimiter, SEI or parameter sets just before such a slice
 * (clause 7.4.1.2.3); the zero byte of a four-byte start code belongs to the
 * frame it opens. Returns the number of frames, at most `capacity`. */
static size_t splitFrames(const unsigned char* s, size_t size, Frame* frames, size_t capacity) {
  size_t count = 0;
  size_t pending = size; /* the first of those units since the last slice */
  for (size_t at = nextStartCode(s, size, 0); at + 3 < size; at = nextStartCode(s, size, at + 3)) {
    size_t begin = at > 0 && s[at - 1] == 0 ? at - 1 : at;
    unsigned type = nalUnitType(s[at + 3]);
    if (!isCodedSlice(s[at + 3])) {
      if (type == kNalSei || isParameterSet(s[at + 3]) || type == kNalAccessUnitDelimiter) {
        if (pending == size) pending = begin;
      }
      continue;
    }
    int firstSlice = at + 4 < size && (s[at + 4] & 0x80);
    if (firstSlice) {
      size_t start = pending < size ? pending : begin;
      if (count > 0) frames[count - 1].size = start - frames[count - 1].offset;
      if (count == capacity) return count;
      frames[count].offset = count == 0 ? 0 : start; /* the first frame keeps any leading bytes */
      ++count;
    }
    pending = size;
  }
  if (count > 0) frames[count - 1].size = size - frames[count - 1].offset;
  return count;
}

static unsigned char* readFile(const char* path, size_t* size) {
  FILE* f = fopen(path, "rb");
  if (!f) return NULL;
  unsigned char* bytes = NULL;
  if (fseek(f, 0, SEEK_END) == 0) {
    long length = ftell(f);
    if (length > 0 && fseek(f, 0, SEEK_SET) == 0) {
      bytes = malloc((size_t)length);
      if (bytes && fread(bytes, 1, (size_t)length, f) != (size_t)length) {
        free(bytes);
        bytes = NULL;
      }
      *size = (size_t)length;
    }
  }
  fclose(f);
  return bytes;
}

/* ---- The host. ---- */

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr,
            "usage: host_example LIBRARY STREAM.264 [--size WxH] [--420] [--preview] "
            "[-o OUT.v210]\n");
    return 2;
  }
  int width = 1920, height = 1080;
  bool is422 = true, fullResolution = true;
  const char* outputPath = NULL;
  for (int i = 3; i < argc; ++i) {
    if (!strcmp(argv[i], "--size") && i + 1 < argc) {
      if (sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 1 || height < 1) {
        fprintf(stderr, "host_example: bad size %s\n", argv[i]);
        return 2;
      }
    } else if (!strcmp(argv[i], "--420")) {
      is422 = false;
    } else if (!strcmp(argv[i], "--preview")) {
      fullResolution = false;
    } else if (!strcmp(argv[i], "-o") && i + 1 < argc) {
      outputPath = argv[++i];
    } else {
      fprintf(stderr, "host_example: unknown argument %s\n", argv[i]);
      return 2;
    }
  }

  Istrel api;
  if (!loadIstrel(&api, argv[1])) return 1;

  size_t streamSize = 0;
  unsigned char* stream = readFile(argv[2], &streamSize);
  if (!stream || streamSize > 0x7FFFFFFF) {
    fprintf(stderr, "host_example: cannot read %s\n", argv[2]);
    return 1;
  }
  size_t capacity = streamSize / 8 + 1; /* a frame holds more than eight bytes */
  Frame* frames = malloc(capacity * sizeof *frames);
  size_t frameCount = frames ? splitFrames(stream, streamSize, frames, capacity) : 0;
  size_t largest = 0;
  for (size_t i = 0; i < frameCount; ++i) {
    if (frames[i].size > largest) largest = frames[i].size;
  }

  /* v210: 128 bytes for every started group of 48 pixels, per row. */
  int outWidth = fullResolution ? width : width / 2;
  int outHeight = fullResolution ? height : height / 2;
  size_t outputSize = (size_t)((outWidth + 47) / 48) * 128 * (size_t)outHeight;
  char* output = malloc(outputSize);
  /* The library rewrites the bytes it is given: every call gets a fresh copy. */
  unsigned char* work = malloc(largest > 0 ? largest : 1);
  FILE* out = outputPath ? fopen(outputPath, "wb") : NULL;
  if (!output || !work || (outputPath && !out)) {
    fprintf(stderr, "host_example: cannot allocate buffers or open %s\n",
            outputPath ? outputPath : "the output");
    return 1;
  }

  int exitStatus = 0;
  size_t decoded = 0;
  AVCIntraInfo* handle = api.newDecoder();
  if (!handle) {
    fprintf(stderr, "host_example: AVCINewTepDecoder: out of memory\n");
    exitStatus = 1;
  } else if (!api.fileOpen(handle)) {
    fprintf(stderr, "host_example: AVCIFileOpen failed\n");
    exitStatus = 1;
  } else if (frameCount == 0) {
    fprintf(stderr, "host_example: no frame in %s\n", argv[2]);
    exitStatus = 1;
  } else {
    handle->is422 = is422;
    handle->width = width;
    handle->height = height;
    memcpy(work, stream + frames[0].offset, frames[0].size);
    int status = api.readAspectRatio(handle, work, (int)frames[0].size);
    printf("AVCIReadAspectRatio: %d (%s), parameters read: %d, pixel aspect %d:%d\n", status,
           statusName(status), handle->parametersRead, handle->sarWidth, handle->sarHeight);
    if (status != ISTREL_STATUS_OK || !handle->parametersRead) exitStatus = 1;

    for (size_t i = 0; i < frameCount && !exitStatus; ++i) {
      memcpy(work, stream + frames[i].offset, frames[i].size);
      status = api.decodeFrame(NULL, handle, work, (int)frames[i].size, output, fullResolution);
      if (status != ISTREL_STATUS_OK) {
        fprintf(stderr, "host_example: frame %lu: AVCIDecodeFrame: %d (%s)\n", (unsigned long)i,
                status, statusName(status));
        exitStatus = 1;
        break;
      }
      ++decoded;
      if (out && fwrite(output, 1, outputSize, out) != outputSize) {
        fprintf(stderr, "host_example: cannot write %s\n", outputPath);
        exitStatus = 1;
      }
    }
  }
  if (handle) {
    api.fileClose(handle);
    api.dispose(handle);
  }
  if (out && fclose(out) != 0) exitStatus = 1;
  printf("host_example: decoded %lu of %lu frames, %dx%d %s v210%s\n", (unsigned long)decoded,
         (unsigned long)frameCount, outWidth, outHeight, is422 ? "4:2:2" : "4:2:0",
         fullResolution ? "" : " (preview)");

  if (exitStatus == 0) printf("host_example: every frame decoded\n");

  free(work);
  free(output);
  free(frames);
  free(stream);
  libraryClose(api.library);
  return exitStatus;
}
