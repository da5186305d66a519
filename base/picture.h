// A decoded picture: three planes of samples of type T, each one contiguous
// block with rows packed and no borders, reached through row tables.
#pragma once

#include <cstdint>
#include <memory>

namespace H264 {

template <typename T>
class Picture {
 public:
  Picture() = default;
  virtual ~Picture() = default;

  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  // Gives the picture its planes, replacing any it had. Samples start at
  // the neutral value of `bitDepth`-bit video (black luma, grey chroma), so
  // areas no slice reaches show as black rather than stale memory.
  void allocate(std::uint32_t lumaWidth, std::uint32_t lumaHeight, std::uint32_t chromaWidth,
                std::uint32_t chromaHeight, std::uint32_t bitDepth = 8);

  bool hasStorage() const { return rows_[0] != nullptr; }

  // Row i of the luma plane starts at lumaRows()[i]; chromaRows(0) is Cb,
  // chromaRows(1) Cr.
  T* const* lumaRows() const { return rows_[0].get(); }
  T* const* chromaRows(int plane) const { return rows_[1 + plane].get(); }
  // Plane 0 luma, 1 Cb, 2 Cr.
  T* plane(int index) const { return planes_[index].get(); }

  std::uint32_t lumaWidth() const { return lumaWidth_; }
  std::uint32_t lumaHeight() const { return lumaHeight_; }
  std::uint32_t chromaWidth() const { return chromaWidth_; }
  std::uint32_t chromaHeight() const { return chromaHeight_; }

 private:
  void allocatePlane(int index, std::uint32_t width, std::uint32_t height, T value);

  std::unique_ptr<T[]> planes_[3];
  std::unique_ptr<T*[]> rows_[3];
  std::uint32_t lumaWidth_ = 0;
  std::uint32_t lumaHeight_ = 0;
  std::uint32_t chromaWidth_ = 0;
  std::uint32_t chromaHeight_ = 0;
};

extern template class Picture<unsigned char>;
extern template class Picture<unsigned short>;

}  // namespace H264
