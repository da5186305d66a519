// A host process that loads the shared library at run time, decodes every
// committed vector through the six exported functions, checks what it got
// and unloads the library again; several rounds in one process, each round
// decoding on two host threads at once, each vector on a handle of its own.
//
// Checks, for every vector: 4:4:4 streams are refused and streams without
// sequence parameter set 0 fail with a parameter-set error, as istrel.h
// says; every other frame decodes with status 0, full size and preview. The
// planes the handle points at equal the encoder's reconstruction (the
// vector's .md5 lines) wherever the host's path reproduces it (no loop
// filter, at most ten slices, not a documented deviation); the v210 rows
// equal a plain packing of those planes, the rows after the last whole
// stripe and the bytes after each row's last group untouched. (No thread of
// the library outlives the last closed handle: Handle.TheLastCloseJoinsTheWorkers.)
//
// usage: loader_host LIBRARY [ROUNDS]   (default 3 rounds)
// It prints each step before taking it, so that a hang shows where it is.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "loader/loaded_library.h"
#include "loader/vector_host.h"
#include "support/v210_model.h"
#include "support/vectors.h"

namespace {

using istrel::test::Frame;
using istrel::test::LoadedLibrary;
using istrel::test::VectorCase;

constexpr char kCanary = 0x5A;
constexpr int kHostThreads = 2;

// What the exported functions do with a vector.
enum class Outcome { kDecoded, kParameterSetError, kRefused };

Outcome outcomeOf(const VectorCase& c) {
  if (c.compatible == "refused") return Outcome::kParameterSetError;  // no set with id 0
  if (c.csp == "i444") return Outcome::kRefused;  // v210 carries 4:2:2 and 4:2:0 only
  return Outcome::kDecoded;
}

// The vector list says where the host's path gives the reconstruction.
bool reproducesReconstruction(const VectorCase& c) { return c.compatible == "same"; }

struct Failures {
  std::vector<std::string> messages;
  std::size_t reconstructions = 0;  // frames compared with the encoder's reconstruction
  std::size_t pictures = 0;         // v210 pictures compared with the model
  void check(bool ok, const VectorCase& c, const std::string& what) {
    if (!ok) messages.push_back(c.name + ": " + what);
  }
};

// The v210 rows: as the model packs the delivered planes, up to the last
// whole stripe, and untouched beyond.
void checkV210(const AVCIntraInfo& h, const VectorCase& c, bool full,
               const std::vector<char>& output, Failures& failures) {
  const istrel::test::V210Source source{{reinterpret_cast<const std::uint16_t*>(h.planes[0]),
                                         reinterpret_cast<const std::uint16_t*>(h.planes[1]),
                                         reinterpret_cast<const std::uint16_t*>(h.planes[2])},
                                        h.width,
                                        h.is422,
                                        c.depth,
                                        c.depth};
  ++failures.pictures;
  const std::string problem =
      istrel::test::v210Problem(source, istrel::test::v210Of(h, full), output.data(), kCanary);
  failures.check(problem.empty(), c, (full ? "full size " : "preview ") + problem);
}

// Frame `index` of a primed handle, full size and preview.
void decodeFrame(const LoadedLibrary& lib, AVCIntraInfo* h, const VectorCase& c, Outcome outcome,
                 const Frame& frame, std::size_t index, const std::string& expected,
                 Failures& failures) {
  for (bool full : {true, false}) {
    std::vector<char> output(istrel::test::v210Of(*h, full).bytes(), kCanary);
    const int status = istrel::test::decodeCopy(lib, h, frame, output, full);
    const std::string at = "frame " + std::to_string(index) + (full ? "" : " preview");
    if (outcome == Outcome::kRefused) {
      failures.check(status == ISTREL_STATUS_REFUSED, c, at + ": not refused");
      continue;
    }
    failures.check(status == ISTREL_STATUS_OK, c, at + ": status " + std::to_string(status));
    if (status != ISTREL_STATUS_OK) return;
    if (full && reproducesReconstruction(c)) {
      ++failures.reconstructions;
      failures.check(istrel::test::deliveredMd5Line(*h, c, index) == expected, c,
                     at + ": not the reconstruction");
    }
    checkV210(*h, c, full, output, failures);
  }
}

void decodeVector(const LoadedLibrary& lib, const VectorCase& c, Failures& failures) {
  const Outcome outcome = outcomeOf(c);
  const std::vector<Frame> frames = istrel::test::framesOf(c);
  const std::vector<std::string> expected = istrel::test::expectedMd5Lines(c);
  failures.check(frames.size() == expected.size(), c, "frames and .md5 lines differ in number");
  int status = -1;
  AVCIntraInfo* h = istrel::test::openFor(lib, c, frames.at(0), status);
  if (!h) return failures.check(false, c, "no handle");
  if (outcome == Outcome::kParameterSetError) {
    failures.check(status == ISTREL_STATUS_PARAMETER_SET_ERROR && !h->parametersRead, c,
                   "parameter sets without id 0 accepted");
  } else if (status != ISTREL_STATUS_OK || !h->parametersRead) {
    failures.check(false, c, "AVCIReadAspectRatio: status " + std::to_string(status));
  } else {
    for (std::size_t i = 0; i < frames.size() && i < expected.size(); ++i) {
      decodeFrame(lib, h, c, outcome, frames[i], i, expected[i], failures);
    }
  }
  lib.fileClose(h);
  lib.dispose(h);
}

// One round: load, decode every vector on the host threads, unload.
std::size_t runRound(const char* path, int round, const std::vector<VectorCase>& cases) {
  std::printf("round %d: loading %s\n", round, path);
  std::fflush(stdout);
  LoadedLibrary lib(path);
  std::vector<Failures> failures(kHostThreads);
  std::vector<std::thread> hosts;
  for (int t = 0; t < kHostThreads; ++t) {
    hosts.emplace_back([&, t] {
      for (std::size_t i = static_cast<std::size_t>(t); i < cases.size(); i += kHostThreads) {
        try {
          decodeVector(lib, cases[i], failures[static_cast<std::size_t>(t)]);
        } catch (const std::exception& e) {
          failures[static_cast<std::size_t>(t)].check(false, cases[i], e.what());
        }
      }
    });
  }
  for (std::thread& host : hosts) host.join();
  std::size_t count = 0, reconstructions = 0, pictures = 0;
  for (const Failures& f : failures) {
    for (const std::string& message : f.messages) std::fprintf(stderr, "%s\n", message.c_str());
    count += f.messages.size();
    reconstructions += f.reconstructions;
    pictures += f.pictures;
  }
  std::printf(
      "round %d: %zu vectors on %d host threads: %zu frames compared with the reconstruction, "
      "%zu v210 pictures with the model, %zu failures; unloading\n",
      round, cases.size(), kHostThreads, reconstructions, pictures, count);
  std::fflush(stdout);
  lib.unload();
  std::printf("round %d: unloaded\n", round);
  std::fflush(stdout);
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: loader_host LIBRARY [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc == 3 ? std::atoi(argv[2]) : 3;
  const std::vector<VectorCase> cases = istrel::test::everyVector();
  if (cases.size() < 110 || rounds < 1) {
    std::fprintf(stderr, "loader_host: %zu vectors found, %d rounds\n", cases.size(), rounds);
    return 1;
  }
  std::size_t failed = 0;
  try {
    for (int round = 1; round <= rounds; ++round) failed += runRound(argv[1], round, cases);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "loader_host: %s\n", e.what());
    return 1;
  }
  if (failed) {
    std::fprintf(stderr, "loader_host: %zu checks failed\n", failed);
    return 1;
  }
  std::printf("loader_host: %d rounds of load, decode, unload: every check held\n", rounds);
  return 0;
}
