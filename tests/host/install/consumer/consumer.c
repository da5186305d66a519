/* Linked against an installed Istrel: goes through the six functions once. */
#include <istrel/istrel.h>
#include <istrel/version.h>
#include <stdio.h>
#include <string.h>

int main(void) {
  if (strcmp(ISTREL_VERSION_STRING, EXPECTED_VERSION) != 0) {
    fprintf(stderr, "consumer: version.h says %s\n", ISTREL_VERSION_STRING);
    return 1;
  }
  AVCIntraInfo* handle = AVCINewTepDecoder();
  if (!handle || AVCIFileOpen(handle) != 1 || handle->isOpen != 1) return 1;
  unsigned char data[16] = {0};
  char output[128];
  handle->is422 = true;
  handle->width = 48;
  handle->height = 1;
  /* No parameter sets: reading succeeds without effect, decoding is not ready. */
  int aspect = AVCIReadAspectRatio(handle, data, (int)sizeof data);
  int decode = AVCIDecodeFrame(NULL, handle, data, (int)sizeof data, output, true);
  int closed = AVCIFileClose(handle);
  AVCIntraDispose(handle);
  if (aspect != ISTREL_STATUS_OK || decode != ISTREL_STATUS_NOT_READY || closed != 1) {
    fprintf(stderr, "consumer: statuses %d %d %d\n", aspect, decode, closed);
    return 1;
  }
  printf("consumer: istrel %d.%d.%d\n", ISTREL_VERSION_MAJOR, ISTREL_VERSION_MINOR,
         ISTREL_VERSION_PATCH);
  return 0;
}
