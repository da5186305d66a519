// Pieces the fuzz targets and their seed maker share: the tests' bit writer,
// and heap copies with no readable slack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "tests/support/bit_writer.h"

namespace istrel::fuzz {

using istrel::test::BitWriter;

// A heap block of exactly `size` bytes holding `data`: any read past the end
// is a heap overflow the address sanitizer reports.
class ExactCopy {
 public:
  ExactCopy(const std::uint8_t* data, std::size_t size)
      : bytes_(new unsigned char[size]), size_(size) {
    if (size) std::memcpy(bytes_.get(), data, size);
  }
  unsigned char* data() { return bytes_.get(); }
  std::size_t size() const { return size_; }
  int intSize() const { return static_cast<int>(size_); }

 private:
  std::unique_ptr<unsigned char[]> bytes_;
  std::size_t size_;
};

}  // namespace istrel::fuzz
