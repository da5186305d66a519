// Replays inputs through a fuzz target built without libFuzzer: every file
// named on the command line, and every file inside a named directory.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // An exact-size copy, as libFuzzer gives: reads past the end are reported.
  std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(input.data(), input.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (!argument.empty() && argument[0] == '-') continue;  // libFuzzer flags
    std::filesystem::path path(argument);
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
      files.push_back(path);
      continue;
    }
    // A directory's files in name order.
    const auto first = files.size();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin() + static_cast<std::ptrdiff_t>(first), files.end());
  }
  bool ok = true;
  for (const auto& file : files) ok = replay(file) && ok;
  std::fprintf(stderr, "replayed %zu input%s\n", files.size(), files.size() == 1 ? "" : "s");
  return ok ? 0 : 1;
}
