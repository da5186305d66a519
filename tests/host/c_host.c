/* A host written in C: loads the library with dlopen, finds its six
 * functions and goes through the whole calling order on a real stream.
 * usage: c_host LIBRARY STREAM.264 (a 1280x720 4:2:2 10-bit stream) */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "istrel/istrel.h"
#include "syntax/nal_unit.h"

typedef AVCIntraInfo* (*NewFn)(void);
typedef int (*HandleFn)(AVCIntraInfo*);
typedef void (*DisposeFn)(AVCIntraInfo*);
typedef int (*AspectFn)(AVCIntraInfo*, unsigned char*, int);
typedef int (*DecodeFn)(void*, AVCIntraInfo*, unsigned char*, int, char*, bool);

static int failures = 0;

#define CHECK(cond)                                                \
  do {                                                             \
    if (!(cond)) {                                                 \
      fprintf(stderr, "c_host:%d: failed: %s\n", __LINE__, #cond); \
      ++failures;                                                  \
    }                                                              \
  } while (0)

static unsigned char* readAll(const char* path, long* size) {
  FILE* f = fopen(path, "rb");
  if (!f) return NULL;
  fseek(f, 0, SEEK_END);
  *size = ftell(f);
  fseek(f, 0, SEEK_SET);
  unsigned char* bytes = malloc((size_t)*size);
  if (bytes && fread(bytes, 1, (size_t)*size, f) != (size_t)*size) {
    free(bytes);
    bytes = NULL;
  }
  fclose(f);
  return bytes;
}

/* The first frame: from the start up to the second access unit delimiter. */
static long firstFrameSize(const unsigned char* s, long size) {
  int delimiters = 0;
  for (long i = 0; i + 3 < size; ++i) {
    if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1 &&
        nalUnitType(s[i + 3]) == kNalAccessUnitDelimiter && ++delimiters == 2) {
      return i > 0 && s[i - 1] == 0 ? i - 1 : i;
    }
  }
  return size;
}

/* The frame copied afresh into a block of exactly its size: the library rewrites its input. */
static unsigned char* fresh(unsigned char* frame, const unsigned char* stream, long size) {
  return memcpy(frame, stream, (size_t)size);
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: c_host LIBRARY STREAM\n");
    return 2;
  }
  void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    fprintf(stderr, "c_host: %s\n", dlerror());
    return 1;
  }
  NewFn create = (NewFn)dlsym(lib, "AVCINewTepDecoder");
  HandleFn open = (HandleFn)dlsym(lib, "AVCIFileOpen");
  HandleFn close = (HandleFn)dlsym(lib, "AVCIFileClose");
  DisposeFn dispose = (DisposeFn)dlsym(lib, "AVCIntraDispose");
  AspectFn aspect = (AspectFn)dlsym(lib, "AVCIReadAspectRatio");
  DecodeFn decode = (DecodeFn)dlsym(lib, "AVCIDecodeFrame");
  if (!create || !open || !close || !dispose || !aspect || !decode) {
    fprintf(stderr, "c_host: a function is missing\n");
    return 1;
  }

  long streamSize = 0;
  unsigned char* stream = readAll(argv[2], &streamSize);
  if (!stream) {
    fprintf(stderr, "c_host: cannot read %s\n", argv[2]);
    return 1;
  }
  long frameSize = firstFrameSize(stream, streamSize);
  const int width = 1280, height = 720;
  size_t outputSize = (size_t)((width + 47) / 48 * 128) * height;
  char* output = malloc(outputSize);
  memset(output, 0x5A, outputSize);

  AVCIntraInfo* h = create();
  CHECK(h != NULL && h->isOpen == 0 && h->parametersRead == 0);
  unsigned char* frame = fresh(malloc((size_t)frameSize), stream, frameSize);
  CHECK(decode(NULL, NULL, frame, (int)frameSize, output, true) == ISTREL_STATUS_REFUSED);
  CHECK(decode(NULL, h, frame, (int)frameSize, output, true) == ISTREL_STATUS_REFUSED);
  CHECK(open(h) == 1 && h->isOpen == 1);
  void* core = h->decoder;
  CHECK(open(h) == 1 && h->decoder == core);
  h->is422 = true;
  h->width = width;
  h->height = height;
  CHECK(decode((void*)1, h, frame, (int)frameSize, output, true) == ISTREL_STATUS_NOT_READY);
  CHECK(output[0] == 0x5A && output[outputSize - 1] == 0x5A);

  CHECK(aspect(h, frame, (int)frameSize) == ISTREL_STATUS_OK);
  CHECK(h->parametersRead == 1 && h->sarWidth == 1 && h->sarHeight == 1);

  fresh(frame, stream, frameSize);
  CHECK(decode(NULL, h, frame, (int)frameSize, output, true) == ISTREL_STATUS_OK);
  CHECK(h->planes[0] != NULL && h->planes[1] != NULL && h->planes[2] != NULL);
  fresh(frame, stream, frameSize);
  CHECK(decode(NULL, h, frame, (int)frameSize, output, false) == ISTREL_STATUS_OK);

  fresh(frame, stream, frameSize);
  h->width = width - 16;
  memset(output, 0x5A, outputSize);
  CHECK(decode(NULL, h, frame, (int)frameSize, output, true) == ISTREL_STATUS_REFUSED);
  CHECK(output[0] == 0x5A);
  h->width = width;

  CHECK(close(h) == 1 && h->isOpen == 0);
  fresh(frame, stream, frameSize);
  CHECK(decode(NULL, h, frame, (int)frameSize, output, true) == ISTREL_STATUS_REFUSED);
  CHECK(aspect(h, frame, (int)frameSize) == ISTREL_STATUS_REFUSED);
  CHECK(close(h) == 1);
  dispose(h);
  dispose(NULL);
  CHECK(close(NULL) == 1);

  free(frame);
  free(output);
  free(stream);
  dlclose(lib);
  if (failures) {
    fprintf(stderr, "c_host: %d checks failed\n", failures);
    return 1;
  }
  printf("c_host: calling order passed\n");
  return 0;
}
