// istrel: command-line companion of the decoder library.
#include <iostream>
#include <string>
#include <vector>

#include "istrel/command_line.h"

int main(int argc, char** argv) {
  return istrel::tools::runIstrel(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                  std::cerr);
}
