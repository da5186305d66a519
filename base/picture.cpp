#include "base/picture.h"

#include <algorithm>
#include <cstddef>

namespace H264 {

template <typename T>
void Picture<T>::allocate(std::uint32_t lumaWidth, std::uint32_t lumaHeight,
                          std::uint32_t chromaWidth, std::uint32_t chromaHeight,
                          std::uint32_t bitDepth) {
  for (int i = 0; i < 3; ++i) {
    rows_[i].reset();
    planes_[i].reset();
  }
  T black = static_cast<T>(16u << (bitDepth - 8));
  T grey = static_cast<T>(1u << (bitDepth - 1));
  allocatePlane(1, chromaWidth, chromaHeight, grey);
  allocatePlane(2, chromaWidth, chromaHeight, grey);
  allocatePlane(0, lumaWidth, lumaHeight, black);
  lumaWidth_ = lumaWidth;
  lumaHeight_ = lumaHeight;
  chromaWidth_ = chromaWidth;
  chromaHeight_ = chromaHeight;
}

template <typename T>
void Picture<T>::allocatePlane(int index, std::uint32_t width, std::uint32_t height, T value) {
  std::size_t samples = std::size_t{width} * height;
  auto block = std::make_unique_for_overwrite<T[]>(samples);
  auto rows = std::make_unique_for_overwrite<T*[]>(height);
  std::fill_n(block.get(), samples, value);
  for (std::uint32_t i = 0; i < height; ++i) rows[i] = block.get() + std::size_t{i} * width;
  planes_[index] = std::move(block);
  rows_[index] = std::move(rows);
}

template class Picture<unsigned char>;
template class Picture<unsigned short>;

}  // namespace H264
