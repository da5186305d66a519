// The committed test vectors and their manifest.
#pragma once

#include <fstream>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace istrel::test {

struct VectorCase {
  std::string name;
  int width = 0;
  int height = 0;
  std::string csp;  // i420, i422 or i444
  int depth = 0;
  int frames = 0;
  std::string entropy;  // cavlc or cabac
  int slices = 0;
  // What the compatible mode gives (tests/vectors/README.md): "same",
  // "unfiltered", "deviates", "partial" or "refused".
  std::string compatible;
  std::string path() const { return std::string(ISTREL_VECTOR_DIR) + "/" + name + ".264"; }
};

inline void PrintTo(const VectorCase& c, std::ostream* os) { *os << c.name; }

// Every committed vector: vectors.txt, then loop_filter.txt (the vectors
// coded with the deblocking filter on).
inline std::vector<VectorCase> everyVector() {
  std::vector<VectorCase> cases;
  for (const char* manifest : {"/vectors.txt", "/loop_filter.txt"}) {
    std::ifstream in(std::string(ISTREL_VECTOR_DIR) + manifest);
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream fields(line);
      VectorCase c;
      fields >> c.name >> c.width >> c.height >> c.csp >> c.depth >> c.frames >> c.entropy >>
          c.slices >> c.compatible;
      if (fields) cases.push_back(c);
    }
  }
  return cases;
}

// The committed vectors whose `compatible` column says `what`.
inline std::vector<VectorCase> vectorsWhereCompatibleIs(const std::string& what) {
  std::vector<VectorCase> cases;
  for (const VectorCase& c : everyVector()) {
    if (c.compatible == what) cases.push_back(c);
  }
  return cases;
}

// The entry of a committed vector in either manifest.
inline VectorCase vectorNamed(const std::string& name) {
  for (const VectorCase& c : everyVector()) {
    if (c.name == name) return c;
  }
  throw std::invalid_argument("no vector " + name);
}

// The lines of a vector's .md5 file: "index md5(Y) md5(Cb) md5(Cr)" per frame.
inline std::vector<std::string> expectedMd5Lines(const VectorCase& c) {
  std::ifstream in(std::string(ISTREL_VECTOR_DIR) + "/" + c.name + ".md5");
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

inline std::string samplePath() {
  return std::string(ISTREL_SAMPLE_DIR) + "/class100_720p_422_10bit.264";
}

}  // namespace istrel::test
