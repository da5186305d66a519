#include "synthetic_picture.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>

namespace synth {

int PictureFormat::planeWidth(int plane) const {
  return plane == 0 || chroma == ChromaFormat::k444 ? width : (width + 1) / 2;
}

int PictureFormat::planeHeight(int plane) const {
  return plane == 0 || chroma != ChromaFormat::k420 ? height : (height + 1) / 2;
}

namespace {

// Fixed point used throughout: positions in 1/256 sample (Q8), angles and phases in 1/65536
// turn, levels in [0, 65535] scaled to the bit depth only at the end. Integer arithmetic keeps the
// pictures identical across compilers, libm versions and floating-point contraction settings.
using i64 = std::int64_t;
using u64 = std::uint64_t;

constexpr u64 kGolden = 0x9e3779b97f4a7c15ULL;
constexpr int kFull = 65535;
constexpr int kQuarterTurn = 16384;

constexpr u64 mix(u64 z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

// Stateless, so a value never depends on the order in which samples are visited.
u64 hash(u64 a, u64 b, u64 c = 0, u64 d = 0) {
  u64 h = mix(a + kGolden);
  h = mix(h ^ (b + 2 * kGolden));
  h = mix(h ^ (c + 3 * kGolden));
  return mix(h ^ (d + 4 * kGolden));
}

class Rng {
 public:
  explicit Rng(u64 seed) : state_(seed) {}

  u64 next() {
    state_ += kGolden;
    return mix(state_);
  }

  int uniform(int lo, int hi) {
    return lo + static_cast<int>(next() % static_cast<u64>(hi - lo + 1));
  }

  bool percent(int p) { return uniform(0, 99) < p; }

  template <std::size_t N>
  int pick(const std::array<int, N>& weights) {
    int total = 0;
    for (int w : weights) total += w;
    int r = uniform(0, total - 1);
    for (std::size_t i = 0; i < N; ++i) {
      if (r < weights[i]) return static_cast<int>(i);
      r -= weights[i];
    }
    return 0;
  }

  // Any level, with the extremes of the range over-represented so clipping paths get exercised.
  int level() {
    int r = uniform(0, 99);
    if (r < 8) return 0;
    if (r < 16) return kFull;
    return uniform(0, kFull);
  }

 private:
  u64 state_;
};

std::array<std::int32_t, 4096> makeSineTable() {
  // Taylor series to x^9 in Q30 over the first quadrant; the error stays below the Q14 output step.
  std::array<std::int32_t, 4096> table{};
  constexpr i64 kOne = i64{1} << 30;
  constexpr i64 kHalfPi = 1686629713;
  for (int i = 0; i <= 1024; ++i) {
    i64 x = kHalfPi * i / 1024;
    i64 x2 = (x * x) >> 30;
    i64 t = kOne - x2 / 72;
    t = kOne - ((x2 * t) >> 30) / 42;
    t = kOne - ((x2 * t) >> 30) / 20;
    t = kOne - ((x2 * t) >> 30) / 6;
    i64 s = (x * t) >> 30;
    auto v = static_cast<std::int32_t>((s * 16384 + kOne / 2) >> 30);
    table[i] = v;
    table[2048 - i] = v;
    table[(2048 + i) & 4095] = -v;
    table[(4096 - i) & 4095] = -v;
  }
  return table;
}

// Q14.
int sine(i64 phase) {
  static const std::array<std::int32_t, 4096> table = makeSineTable();
  return table[(static_cast<u64>(phase) >> 4) & 4095];
}

int cosine(i64 phase) { return sine(phase + kQuarterTurn); }

// Both waves map a phase to [0, 65536]; the triangle is 0 at phase 0.
int triangle(i64 phase) {
  int p = static_cast<int>(phase & 0xFFFF);
  return p < 32768 ? 2 * p : 2 * (65536 - p);
}

int wave(i64 phase) { return (sine(phase) + 16384) * 2; }

int square(i64 phase) { return (phase & 0x8000) ? 65536 : 0; }

int blend(int lo, int hi, int t) { return lo + static_cast<int>((i64{hi - lo} * t) >> 16); }

i64 project(i64 dx, i64 dy, i64 angle) { return (dx * cosine(angle) + dy * sine(angle)) >> 14; }

i64 isqrt(u64 n) {
  u64 root = 0;
  u64 bit = u64{1} << 62;
  while (bit > n) bit >>= 2;
  while (bit != 0) {
    if (n >= root + bit) {
      n -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
    bit >>= 2;
  }
  return static_cast<i64>(root);
}

// Bounces between lo and hi so that moving things stay in the picture however many frames pass.
i64 bounce(i64 position, i64 lo, i64 hi) {
  if (hi <= lo) return lo;
  const i64 span = hi - lo;
  i64 m = (position - lo) % (2 * span);
  if (m < 0) m += 2 * span;
  return lo + (m < span ? m : 2 * span - m);
}

// 5x7 glyphs, 0-9 and A-F, one row per byte with the leftmost column in bit 4.
constexpr std::array<std::array<std::uint8_t, 7>, 16> kFont = {{
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},
    {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E},
    {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C},
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F},
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},
}};

// A character cell is 6x8: the glyph plus one column and one row of spacing.
bool glyphInk(u64 code, int column, int row) {
  if (column >= 5 || row >= 7) return false;
  return (kFont[code & 15][row] >> (4 - column)) & 1;
}

// ---------------------------------------------------------------------------------------------
// Background: each plane is tiled by square cells of a quadtree, split at random, each cell
// holding one pattern. The tiling lives in an unbounded pattern space that slides under the
// plane from frame to frame, so content moves and cell edges rarely fall on macroblock edges.

enum Kind {
  kFlat,
  kGradient,
  kRadial,
  kStripes,
  kChecker,
  kEdge,
  kNoise,
  kFullNoise,
  kGlyphs,
  kRings,
  kPlasma,
  kZonePlate,
  kKindCount
};

using KindWeights = std::array<int, kKindCount>;

constexpr KindWeights kLumaWeights = {8, 12, 6, 12, 6, 16, 6, 4, 8, 5, 6, 4};
constexpr KindWeights kChromaWeights = {14, 16, 8, 7, 4, 12, 6, 2, 3, 4, 10, 3};

struct Layout {
  u64 seed = 0;
  int base = 64;
  int depth = 4;
  std::array<int, 4> splitPercent{};
  int originX = 0;  // pattern-space position of the plane's sample (0, 0) at this frame
  int originY = 0;
  KindWeights weights{};
};

struct Cell {
  int x0 = 0;
  int y0 = 0;
  int size = 0;
  u64 key = 0;
  Kind kind = kFlat;
  int lo = 0;
  int hi = 0;
  int mid = 0;
  i64 angle = 0;
  i64 angle2 = 0;
  i64 wavelength = 256;
  i64 wavelength2 = 256;
  i64 phase = 0;
  i64 phase2 = 0;
  i64 cx = 0;
  i64 cy = 0;
  int step = 1;
  bool sharp = false;
  bool twoEdges = false;
};

Layout makeLayout(u64 seed, int plane, int frame) {
  // Far from zero so pattern-space coordinates stay positive for any realistic frame count.
  constexpr int kBias = 1 << 24;
  Rng rng(hash(seed, 0x1a40, static_cast<u64>(plane)));
  Layout layout;
  layout.seed = rng.next();
  if (plane == 0) {
    layout.base = 64;
    layout.depth = 4;
    layout.splitPercent = {60, 50, 40, 25};
    layout.weights = kLumaWeights;
  } else {
    layout.base = 48;
    layout.depth = 3;
    layout.splitPercent = {50, 40, 25, 0};
    layout.weights = kChromaWeights;
  }
  int vx = rng.uniform(-6, 6);
  int vy = rng.uniform(-4, 4);
  if (vx == 0 && vy == 0) vx = 3;
  layout.originX = kBias + rng.uniform(0, 4095) + vx * frame;
  layout.originY = kBias + rng.uniform(0, 4095) + vy * frame;
  return layout;
}

void chooseWaveform(Cell& cell, Rng& rng, int frame) {
  static constexpr std::array<int, 9> kStripePeriods = {2, 3, 4, 5, 6, 8, 11, 16, 24};
  switch (cell.kind) {
    case kGradient:
    case kRadial:
      cell.wavelength = i64{cell.size} * rng.uniform(2, 8) * 256;
      cell.phase += i64{rng.uniform(-2500, 2500)} * frame;
      break;
    case kStripes:
      cell.wavelength = i64{kStripePeriods[rng.uniform(0, 8)]} * 256;
      if (rng.percent(30)) cell.wavelength += rng.uniform(1, 255);
      cell.phase += i64{rng.uniform(-9000, 9000)} * frame;
      break;
    case kRings:
      cell.wavelength = i64{rng.uniform(3, 24)} * 256;
      cell.phase += i64{rng.uniform(-9000, 9000)} * frame;
      break;
    case kPlasma:
      cell.wavelength = i64{rng.uniform(12, 160)} * 256;
      cell.wavelength2 = i64{rng.uniform(12, 160)} * 256;
      cell.phase += i64{rng.uniform(-4000, 4000)} * frame;
      cell.phase2 += i64{rng.uniform(-4000, 4000)} * frame;
      break;
    case kEdge:
      cell.angle += i64{rng.uniform(-1500, 1500)} * frame;
      cell.angle2 += i64{rng.uniform(-1500, 1500)} * frame;
      break;
    default:
      break;
  }
}

Cell makeCell(const Layout& layout, int x0, int y0, int size, u64 key, int frame) {
  static constexpr std::array<int, 6> kCheckerSizes = {1, 2, 3, 4, 6, 8};
  Rng rng(mix(key ^ 0x5eed));
  Cell cell;
  cell.x0 = x0;
  cell.y0 = y0;
  cell.size = size;
  cell.key = key;
  cell.kind = static_cast<Kind>(rng.pick(layout.weights));
  cell.lo = rng.level();
  cell.hi = rng.level();
  cell.mid = rng.uniform(4096, kFull - 4096);
  if (cell.kind == kGlyphs || rng.percent(40)) {
    cell.lo = rng.uniform(0, 12000);
    cell.hi = rng.uniform(53000, kFull);
    if (rng.percent(50)) std::swap(cell.lo, cell.hi);
  }
  // Axis-aligned and diagonal directions are what the directional predictors are built for.
  cell.angle = rng.percent(40) ? i64{rng.uniform(0, 7)} * 8192 : rng.uniform(0, 65535);
  cell.angle2 = rng.uniform(0, 65535);
  cell.phase = rng.uniform(0, 65535);
  cell.phase2 = rng.uniform(0, 65535);
  cell.cx = i64{x0} * 256 + i64{size} * 128 + rng.uniform(-size * 64, size * 64);
  cell.cy = i64{y0} * 256 + i64{size} * 128 + rng.uniform(-size * 64, size * 64);
  cell.sharp = rng.percent(50);
  cell.twoEdges = rng.percent(35);
  switch (cell.kind) {
    case kChecker:
      cell.step = kCheckerSizes[rng.uniform(0, 5)];
      break;
    case kGlyphs:
      cell.step = rng.uniform(1, 2);
      break;
    case kNoise:
      cell.step = rng.uniform(256, 8192);
      break;
    case kZonePlate:
      cell.step = rng.uniform(1, 4);
      break;
    default:
      break;
  }
  chooseWaveform(cell, rng, frame);
  return cell;
}

Cell locateCell(const Layout& layout, int u, int v, int frame) {
  int size = layout.base;
  int x0 = u - u % size;
  int y0 = v - v % size;
  u64 key = hash(layout.seed, static_cast<u64>(x0), static_cast<u64>(y0), static_cast<u64>(size));
  for (int level = 0; level < layout.depth; ++level) {
    if (static_cast<int>(key % 100) >= layout.splitPercent[level]) break;
    size /= 2;
    if (u >= x0 + size) x0 += size;
    if (v >= y0 + size) y0 += size;
    key = hash(layout.seed, static_cast<u64>(x0), static_cast<u64>(y0), static_cast<u64>(size));
  }
  return makeCell(layout, x0, y0, size, key, frame);
}

bool contains(const Cell& cell, int u, int v) {
  return u >= cell.x0 && v >= cell.y0 && u < cell.x0 + cell.size && v < cell.y0 + cell.size;
}

int evaluateCell(const Cell& cell, int u, int v, u64 noise) {
  i64 dx = i64{u} * 256 + 128 - cell.cx;
  i64 dy = i64{v} * 256 + 128 - cell.cy;
  switch (cell.kind) {
    case kFlat:
      return cell.lo;
    case kGradient: {
      i64 along = project(dx, dy, cell.angle);
      return blend(cell.lo, cell.hi, triangle((along << 16) / cell.wavelength + cell.phase));
    }
    case kRadial: {
      i64 r = isqrt(static_cast<u64>(dx * dx + dy * dy));
      return blend(cell.lo, cell.hi, triangle((r << 16) / cell.wavelength + cell.phase));
    }
    case kStripes: {
      i64 phase = (project(dx, dy, cell.angle) << 16) / cell.wavelength + cell.phase;
      return blend(cell.lo, cell.hi, cell.sharp ? square(phase) : wave(phase));
    }
    case kChecker:
      return (((u - cell.x0) / cell.step + (v - cell.y0) / cell.step) & 1) ? cell.hi : cell.lo;
    case kEdge: {
      bool first = project(dx, dy, cell.angle) >= 0;
      if (!cell.twoEdges) return first ? cell.hi : cell.lo;
      bool second = project(dx, dy, cell.angle2) >= 0;
      return first ? (second ? cell.hi : cell.mid) : (second ? cell.lo : kFull - cell.mid);
    }
    case kNoise: {
      int offset = static_cast<int>(((noise & 0xFFFF) * 2 * static_cast<u64>(cell.step)) >> 16);
      return std::clamp(cell.mid + offset - cell.step, 0, kFull);
    }
    case kFullNoise:
      return static_cast<int>(noise & 0xFFFF);
    case kGlyphs: {
      int column = (u - cell.x0) / cell.step;
      int row = (v - cell.y0) / cell.step;
      u64 code = hash(cell.key, static_cast<u64>(column / 6), static_cast<u64>(row / 8));
      return glyphInk(code, column % 6, row % 8) ? cell.hi : cell.lo;
    }
    case kRings: {
      i64 r = isqrt(static_cast<u64>(dx * dx + dy * dy));
      i64 phase = (r << 16) / cell.wavelength + cell.phase;
      return blend(cell.lo, cell.hi, cell.sharp ? square(phase) : wave(phase));
    }
    case kPlasma: {
      int a = wave((project(dx, dy, cell.angle) << 16) / cell.wavelength + cell.phase);
      int b = wave((project(dx, dy, cell.angle2) << 16) / cell.wavelength2 + cell.phase2);
      return blend(cell.lo, cell.hi, (a + b) / 2);
    }
    case kZonePlate: {
      // Local frequency grows linearly with the radius, up to the sampling limit at the rim.
      i64 r2 = dx * dx + dy * dy;
      return blend(cell.lo, cell.hi, wave(r2 * cell.step / (8 * i64{cell.size}) + cell.phase));
    }
    case kKindCount:
      break;
  }
  return cell.lo;
}

struct Subsampling {
  int x = 1;
  int y = 1;
};

Subsampling subsampling(const PictureFormat& format, int plane) {
  if (plane == 0 || format.chroma == ChromaFormat::k444) return {1, 1};
  return {2, format.chroma == ChromaFormat::k420 ? 2 : 1};
}

u64 noiseRow(u64 seed, int plane, int y, int frame) {
  return hash(seed, 0x7015e, static_cast<u64>(plane) << 32 | static_cast<std::uint32_t>(y),
              static_cast<u64>(frame));
}

u64 noiseAt(u64 row, int x) { return mix(row + static_cast<u64>(x) * kGolden); }

void renderBackground(const PictureFormat& format, u64 seed, int frame, int plane, Plane& out) {
  const Layout layout = makeLayout(seed, plane, frame);
  const int width = format.planeWidth(plane);
  const int height = format.planeHeight(plane);
  for (int y = 0; y < height; ++y) {
    const int v = layout.originY + y;
    const u64 row = noiseRow(seed, plane, y, frame);
    Cell cell;
    for (int x = 0; x < width; ++x) {
      const int u = layout.originX + x;
      if (!contains(cell, u, v)) cell = locateCell(layout, u, v, frame);
      out[static_cast<std::size_t>(y) * width + x] =
          static_cast<std::uint16_t>(evaluateCell(cell, u, v, noiseAt(row, x)));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Foreground: shapes drawn over every plane in luma coordinates, so their edges line up across
// planes while their colours do not. They translate and rotate from frame to frame.

enum class Shape { kPolygon, kBar, kDisc, kText, kNoisePatch };

struct Object {
  Shape shape = Shape::kPolygon;
  u64 key = 0;
  i64 cx = 0;  // Q8 luma coordinates
  i64 cy = 0;
  i64 angle = 0;
  i64 length = 0;     // Q8: bar half length, disc radius
  i64 thickness = 0;  // Q8: bar half thickness
  i64 stretch = 256;  // Q8: disc scale across its axis
  bool soft = false;
  int vertexCount = 0;
  std::array<i64, 8> vx{};
  std::array<i64, 8> vy{};
  int scale = 1;
  std::array<int, 3> fg{};
  std::array<int, 3> bg{};
  int left = 0;  // bounding box in luma samples, right and bottom exclusive
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct Motion {
  i64 x;
  i64 y;
  i64 angle;
};

Motion move(Rng& rng, const PictureFormat& format, int frame, int speed) {
  i64 w = i64{format.width} * 256;
  i64 h = i64{format.height} * 256;
  i64 x0 = rng.uniform(0, format.width - 1) * i64{256};
  i64 y0 = rng.uniform(0, format.height - 1) * i64{256};
  i64 vx = rng.uniform(-speed * 256, speed * 256);
  i64 vy = rng.uniform(-speed * 160, speed * 160);
  i64 spin = rng.uniform(-3000, 3000);
  i64 angle = rng.uniform(0, 65535);
  return {bounce(x0 + vx * frame, 0, w), bounce(y0 + vy * frame, 0, h), angle + spin * frame};
}

void chooseColours(Object& object, Rng& rng) {
  for (int p = 0; p < 3; ++p) {
    object.fg[p] = rng.level();
    object.bg[p] = rng.level();
  }
  if (object.shape == Shape::kText || rng.percent(30)) {
    object.fg[0] = rng.uniform(0, 8000);
    object.bg[0] = rng.uniform(57000, kFull);
    if (rng.percent(50)) std::swap(object.fg[0], object.bg[0]);
  }
}

void boundAround(Object& object, i64 reach) {
  object.left = static_cast<int>((object.cx - reach) >> 8) - 1;
  object.right = static_cast<int>((object.cx + reach) >> 8) + 2;
  object.top = static_cast<int>((object.cy - reach) >> 8) - 1;
  object.bottom = static_cast<int>((object.cy + reach) >> 8) + 2;
}

Object makeShape(const PictureFormat& format, u64 seed, int index, int frame) {
  Rng rng(hash(seed, 0x0b1ec7, static_cast<u64>(index)));
  const int maxRadius = std::clamp(std::min(format.width, format.height) / 6, 8, 96);
  Object object;
  int kind = rng.uniform(0, 9);
  object.shape = kind < 4 ? Shape::kPolygon : kind < 7 ? Shape::kBar : Shape::kDisc;
  object.key = rng.next();
  chooseColours(object, rng);
  const Motion motion = move(rng, format, frame, 7);
  object.cx = motion.x;
  object.cy = motion.y;
  object.angle = motion.angle;
  const i64 radius = i64{rng.uniform(6, maxRadius)} * 256;
  object.soft = rng.percent(50);
  switch (object.shape) {
    case Shape::kPolygon: {
      object.vertexCount = rng.uniform(3, 7);
      for (int k = 0; k < object.vertexCount; ++k) {
        i64 a = object.angle + i64{65536} * k / object.vertexCount + rng.uniform(-2000, 2000);
        i64 r = radius * rng.uniform(50, 100) / 100;
        object.vx[k] = object.cx + ((r * cosine(a)) >> 14);
        object.vy[k] = object.cy + ((r * sine(a)) >> 14);
      }
      boundAround(object, radius);
      break;
    }
    case Shape::kBar:
      object.length = radius * 2;
      object.thickness = rng.percent(35) ? rng.uniform(64, 256) : radius / rng.uniform(2, 8);
      boundAround(object, object.length + object.thickness);
      break;
    case Shape::kDisc:
      object.length = radius;
      object.stretch = rng.uniform(128, 512);
      boundAround(object, std::max<i64>(radius, radius * 256 / object.stretch));
      break;
    default:
      break;
  }
  return object;
}

Object makeText(const PictureFormat& format, u64 seed, int index, int frame) {
  Rng rng(hash(seed, 0x7e47, static_cast<u64>(index)));
  Object object;
  object.shape = Shape::kText;
  object.key = rng.next();
  object.scale = rng.uniform(1, 2);
  chooseColours(object, rng);
  const int characters = rng.uniform(4, 16);
  const int w = (characters * 6 + 2) * object.scale;
  const int h = 10 * object.scale;
  const Motion motion = move(rng, format, frame, 9);
  object.left = static_cast<int>(motion.x >> 8) - w / 2;
  object.top = static_cast<int>(motion.y >> 8) - h / 2;
  object.right = object.left + w;
  object.bottom = object.top + h;
  return object;
}

// Full-range noise in every plane, big enough to cover whole macroblocks wherever it lands: raw
// samples are the cheapest way to code it, so an encoder at low QP picks I_PCM there.
Object makeNoisePatch(const PictureFormat& format, u64 seed, int index, int frame) {
  Rng rng(hash(seed, 0x9a7c4, static_cast<u64>(index)));
  Object object;
  object.shape = Shape::kNoisePatch;
  object.key = rng.next();
  const int w = std::min(rng.uniform(32, 64), format.width);
  const int h = std::min(rng.uniform(32, 64), format.height);
  const Motion motion = move(rng, format, frame, 5);
  object.left = static_cast<int>(bounce(motion.x >> 8, 0, format.width - w));
  object.top = static_cast<int>(bounce(motion.y >> 8, 0, format.height - h));
  object.right = object.left + w;
  object.bottom = object.top + h;
  return object;
}

std::vector<Object> makeObjects(const PictureFormat& format, u64 seed, int frame) {
  const int area = format.width * format.height;
  const int shapes = 6 + area / 16000;
  const int texts = 1 + area / 200000;
  const int patches = 1 + area / 300000;
  std::vector<Object> objects;
  objects.reserve(static_cast<std::size_t>(shapes + texts + patches));
  for (int i = 0; i < shapes; ++i) objects.push_back(makeShape(format, seed, i, frame));
  for (int i = 0; i < texts; ++i) objects.push_back(makeText(format, seed, i, frame));
  for (int i = 0; i < patches; ++i) objects.push_back(makeNoisePatch(format, seed, i, frame));
  return objects;
}

bool insidePolygon(const Object& object, i64 px, i64 py) {
  bool inside = false;
  for (int i = 0, j = object.vertexCount - 1; i < object.vertexCount; j = i++) {
    const i64 xi = object.vx[i], yi = object.vy[i], xj = object.vx[j], yj = object.vy[j];
    if ((yi > py) == (yj > py)) continue;
    const i64 lhs = (px - xi) * (yj - yi);
    const i64 rhs = (xj - xi) * (py - yi);
    if (yj > yi ? lhs < rhs : lhs > rhs) inside = !inside;
  }
  return inside;
}

// Coverage in [0, 256] from a signed distance in Q8; soft edges ramp over one sample.
int coverage(i64 distance, bool soft) {
  if (!soft) return distance < 0 ? 256 : 0;
  return static_cast<int>(std::clamp<i64>(128 - distance, 0, 256));
}

int shapeCoverage(const Object& object, i64 px, i64 py) {
  const i64 dx = px - object.cx;
  const i64 dy = py - object.cy;
  switch (object.shape) {
    case Shape::kPolygon:
      return insidePolygon(object, px, py) ? 256 : 0;
    case Shape::kBar: {
      const i64 along = std::abs(project(dx, dy, object.angle));
      const i64 across = std::abs(project(dx, dy, object.angle + kQuarterTurn));
      return coverage(std::max(along - object.length, across - object.thickness), object.soft);
    }
    case Shape::kDisc: {
      const i64 along = project(dx, dy, object.angle);
      const i64 across = project(dx, dy, object.angle + kQuarterTurn) * object.stretch >> 8;
      const i64 r = isqrt(static_cast<u64>(along * along + across * across));
      return coverage(r - object.length, object.soft);
    }
    default:
      return 0;
  }
}

void drawObject(const Object& object, const PictureFormat& format, int frame, int plane,
                Plane& out) {
  const Subsampling sub = subsampling(format, plane);
  const int width = format.planeWidth(plane);
  const int height = format.planeHeight(plane);
  const int x0 = std::max(object.left / sub.x, 0);
  const int x1 = std::min((object.right + sub.x - 1) / sub.x, width);
  const int y0 = std::max(object.top / sub.y, 0);
  const int y1 = std::min((object.bottom + sub.y - 1) / sub.y, height);
  for (int y = y0; y < y1; ++y) {
    const i64 py = i64{y} * sub.y * 256 + sub.y * 128;
    const u64 row = noiseRow(object.key, plane, y, frame);
    for (int x = x0; x < x1; ++x) {
      const i64 px = i64{x} * sub.x * 256 + sub.x * 128;
      std::uint16_t& sample = out[static_cast<std::size_t>(y) * width + x];
      if (object.shape == Shape::kNoisePatch) {
        sample = static_cast<std::uint16_t>(noiseAt(row, x) & 0xFFFF);
      } else if (object.shape == Shape::kText) {
        const int column = static_cast<int>(px >> 8) - object.left;
        const int line = static_cast<int>(py >> 8) - object.top;
        if (column < 0 || line < 0) continue;
        const int cx = column / object.scale - 1;
        const int cy = line / object.scale - 1;
        const bool ink =
            cx >= 0 && cy >= 0 && glyphInk(hash(object.key, static_cast<u64>(cx / 6)), cx % 6, cy);
        sample = static_cast<std::uint16_t>(ink ? object.fg[plane] : object.bg[plane]);
      } else {
        const int c = shapeCoverage(object, px, py);
        if (c > 0) sample = static_cast<std::uint16_t>(blend(sample, object.fg[plane], c << 8));
      }
    }
  }
}

void scaleToDepth(Plane& plane, int bitDepth) {
  const u64 maxValue = (u64{1} << bitDepth) - 1;
  for (std::uint16_t& sample : plane) {
    sample = static_cast<std::uint16_t>((sample * maxValue + kFull / 2) / kFull);
  }
}

}  // namespace

void renderFrame(const PictureFormat& format, std::uint64_t seed, int frame, Plane (&planes)[3]) {
  const std::vector<Object> objects = makeObjects(format, seed, frame);
  for (int p = 0; p < 3; ++p) {
    Plane& plane = planes[p];
    plane.assign(static_cast<std::size_t>(format.planeWidth(p)) * format.planeHeight(p), 0);
    renderBackground(format, seed, frame, p, plane);
    for (const Object& object : objects) drawObject(object, format, frame, p, plane);
    scaleToDepth(plane, format.bitDepth);
  }
}

}  // namespace synth
