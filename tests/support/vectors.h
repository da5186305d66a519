// The committed test vectors and their manifest.
#pragma once

#include <fstream>
#include <sstream>
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
  std::string path() const { return std::string(ISTREL_VECTOR_DIR) + "/" + name + ".264"; }
};

inline std::vector<VectorCase> loadVectorManifest() {
  std::ifstream in(std::string(ISTREL_VECTOR_DIR) + "/vectors.txt");
  std::vector<VectorCase> cases;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    VectorCase c;
    fields >> c.name >> c.width >> c.height >> c.csp >> c.depth >> c.frames >> c.entropy >>
        c.slices;
    if (fields) cases.push_back(c);
  }
  return cases;
}

inline std::string samplePath() {
  return std::string(ISTREL_SAMPLE_DIR) + "/class100_720p_422_10bit.264";
}

}  // namespace istrel::test
