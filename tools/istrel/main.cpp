// istrel: command-line companion of the decoder library.
#include <cstring>
#include <iostream>
#include <string>

#include "istrel/info_command.h"

namespace {

const char kUsage[] =
    "usage: istrel info FILE.264    summarise an H.264 Annex B stream\n"
    "       istrel --help | --version\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
    std::cout << kUsage;
    return 0;
  }
  if (argc >= 2 && !std::strcmp(argv[1], "--version")) {
    std::cout << "istrel " << ISTREL_VERSION << "\n";
    return 0;
  }
  if (argc == 3 && !std::strcmp(argv[1], "info")) {
    return istrel::tools::runInfo(argv[2], std::cout, std::cerr);
  }
  std::cerr << kUsage;
  return 2;
}
