// A host that loads the shared library, decodes frames of ten slices on a
// handle, and returns from main with the handle still open and the library
// still loaded, as a host that crashed or forgot AVCIFileClose does: the
// process must exit all the same.
//
// usage: exit_with_open_handle LIBRARY
#include <cstdio>
#include <exception>
#include <vector>

#include "loader/loaded_library.h"
#include "loader/vector_host.h"
#include "support/vectors.h"

namespace {

// Kept where a host keeps what it has open, and never released.
istrel::test::LoadedLibrary* lib = nullptr;
AVCIntraInfo* h = nullptr;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: exit_with_open_handle LIBRARY\n");
    return 2;
  }
  try {
    lib = new istrel::test::LoadedLibrary(argv[1]);
    const istrel::test::VectorCase c = istrel::test::vectorNamed("slices10_422_10bit");
    const std::vector<istrel::test::Frame> frames = istrel::test::framesOf(c);
    int status = -1;
    h = istrel::test::openFor(*lib, c, frames.at(0), status);
    if (!h || status != 0) throw std::runtime_error("no handle ready to decode");
    std::vector<char> output(istrel::test::v210Of(*h, true).bytes());
    for (int pass = 0; pass < 3; ++pass) {
      for (const istrel::test::Frame& frame : frames) {
        if (istrel::test::decodeCopy(*lib, h, frame, output, true) != 0) {
          throw std::runtime_error("AVCIDecodeFrame failed");
        }
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "exit_with_open_handle: %s\n", e.what());
    return 1;
  }
  std::printf("exit_with_open_handle: frames decoded; returning from main, the handle open\n");
  std::fflush(stdout);
  return 0;
}
