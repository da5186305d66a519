// Deterministic synthetic pictures that give an encoder something to choose from: edges at many
// angles, gradients, flat areas, fine texture, noise, text-like detail and independent chroma.
#pragma once

#include <cstdint>
#include <vector>

namespace synth {

enum class ChromaFormat { k420, k422, k444 };

struct PictureFormat {
  int width = 0;  // luma samples
  int height = 0;
  ChromaFormat chroma = ChromaFormat::k420;
  int bitDepth = 8;

  int planeWidth(int plane) const;
  int planeHeight(int plane) const;
};

// Rows packed without gaps; each sample holds a value in [0, 2^bitDepth - 1].
using Plane = std::vector<std::uint16_t>;

// Frame n of the scene fixed by `seed`. Any frame can be rendered on its own, in any order, and the
// result depends only on (format, seed, frame): the arithmetic is integer-only.
void renderFrame(const PictureFormat& format, std::uint64_t seed, int frame, Plane (&planes)[3]);

}  // namespace synth
