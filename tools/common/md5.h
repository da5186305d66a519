// MD5 (RFC 1321), for frame checksums in the tools and tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace istrel::tools {

class Md5 {
 public:
  Md5();
  void update(const void* data, std::size_t size);
  // The digest as 32 lowercase hex digits; the object is spent afterwards.
  std::string hexDigest();

 private:
  void block(const std::uint8_t* p);

  std::uint32_t state_[4];
  std::uint64_t length_ = 0;
  std::uint8_t buffer_[64];
  std::size_t buffered_ = 0;
};

}  // namespace istrel::tools
