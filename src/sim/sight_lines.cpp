#include "sim/sight_lines.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "sim/set_flags.h"

namespace rover {
namespace {

// Fewer boulders than this are tested for every sight line, unfiled.
constexpr std::size_t kFewBoulders = 8;

// How much wider than its circle a boulder is filed: a millionth of its
// distance and size. The exact test's rounding, with a direction of unit
// length but for its own rounding, lets a sight line pass a boulder by a
// little more than its radius: by at most about 1e-7 of the distance, even
// at radius 0 (the root of the rounding of a discriminant near 0).
constexpr double kWiden = 1e-6;

// A boulder seen this wide or wider (the sine of half the angle its
// widened circle spans), which the viewer may be in, is tested for every
// sight line; so is one that spans more than an eighth of the bins.
constexpr double kWideSine = 0.7;
constexpr std::uint32_t kWideBinsShift = 3;

// A direction measure in [0, 4] that grows with the angle counterclockwise
// from +x (the "diamond angle"): cheaper than atan2, and only its order
// matters here. Both 0 and 4 stand for +x.
double directionOf(Vec2 d) {
  if (d.y >= 0) return d.x >= 0 ? d.y / (d.x + d.y) : 1 + -d.x / (-d.x + d.y);
  return d.x < 0 ? 2 + -d.y / (-d.x - d.y) : 3 + d.x / (d.x - d.y);
}

bool finite(Vec2 v) {
  return std::isfinite(v.x) && std::isfinite(v.y);
}

}  // namespace

std::uint32_t SightLines::binOf(double direction) const {
  const double at = direction * binsPerUnit_;
  const auto bins = static_cast<std::uint32_t>(binStart_.size() - 1);
  if (!(at >= 0)) return 0;
  if (at >= bins) return bins - 1;
  return static_cast<std::uint32_t>(at);
}

template <class File>
void SightLines::forEachBin(const Boulder& b, File&& file) const {
  const auto bins = static_cast<std::uint32_t>(binStart_.size() - 1);
  const std::uint32_t first = binOf(b.from);
  const std::uint32_t last = binOf(b.to);
  // Its span is less than half the turn, so a first bin past the last one
  // means the span wraps through +x.
  for (std::uint32_t bin = first; bin != last; bin = bin + 1 == bins ? 0 : bin + 1) file(bin);
  file(last);
}

void SightLines::build(Vec2 viewer, const std::vector<WorldObject>& objects, std::span<const char> seen) {
  viewer_ = viewer;
  filed_.clear();
  always_.clear();
  const bool viewerFinite = finite(viewer);
  const auto add = [&](std::size_t k) {
    const WorldObject& o = objects[k];
    if (o.kind != ObjectKind::Boulder) return;
    Boulder b;
    b.center = o.circle.center;
    b.radius = o.circle.radius;
    b.near = -std::numeric_limits<double>::infinity();
    b.index = static_cast<std::uint32_t>(k);
    const Vec2 w = b.center - viewer;
    const double d = length(w);
    const double r = std::fabs(b.radius);
    const double widened = r + kWiden * (d + r);
    // Numbers out of range, or a viewer in or next to it: every sight line.
    if (!viewerFinite || !(d < 1e150) || !(r < 1e150) || !(widened < kWideSine * d)) {
      always_.push_back(b);
      return;
    }
    // No sight line enters it nearer than this, rounding included.
    b.near = d - r - 2 * kWiden * (d + r);
    // The directions of the two tangents from the viewer to the widened circle.
    const double sine = widened / d;
    const double cosine = std::sqrt(1 - sine * sine);
    b.from = directionOf({w.x * cosine + w.y * sine, w.y * cosine - w.x * sine});
    b.to = directionOf({w.x * cosine - w.y * sine, w.y * cosine + w.x * sine});
    filed_.push_back(b);
  };
  forEachSetFlag(seen.first(std::min(objects.size(), seen.size())), add);
  fileBoulders();
}

void SightLines::fileBoulders() {
  if (filed_.size() < kFewBoulders) {
    always_.insert(always_.end(), filed_.begin(), filed_.end());
    filed_.clear();
  }
  // About four bins per filed boulder, in powers of two from 64.
  const std::uint32_t bins = std::clamp<std::uint32_t>(
      std::bit_ceil(static_cast<std::uint32_t>(std::min<std::size_t>(filed_.size(), 1u << 20) * 4)), 64,
      1u << 16);
  binsPerUnit_ = bins / 4.0;
  binStart_.assign(bins + 1, 0);
  // Counts (shifted by one), leaving the widest to every sight line.
  std::size_t kept = 0;
  for (const Boulder& b : filed_) {
    const std::uint32_t first = binOf(b.from);
    const std::uint32_t last = binOf(b.to);
    const std::uint32_t span = first <= last ? last - first + 1 : bins - first + last + 1;
    if (span > (bins >> kWideBinsShift)) {
      always_.push_back(b);
      continue;
    }
    forEachBin(b, [&](std::uint32_t bin) { ++binStart_[bin + 1]; });
    filed_[kept++] = b;
  }
  filed_.resize(kept);
  for (std::uint32_t bin = 0; bin < bins; ++bin) binStart_[bin + 1] += binStart_[bin];
  binItems_.resize(binStart_[bins]);
  // Fills each bin from its start; the starts move to the next bin's, then back.
  for (std::uint32_t i = 0; i < filed_.size(); ++i) {
    forEachBin(filed_[i], [&](std::uint32_t bin) { binItems_[binStart_[bin]++] = i; });
  }
  for (std::uint32_t bin = bins; bin > 0; --bin) binStart_[bin] = binStart_[bin - 1];
  binStart_[0] = 0;
}

bool SightLines::cutBy(const Boulder& b, Vec2 v, double limit) const {
  // The walk's exact test.
  const double s = rayCircleEntry(viewer_, v, 1.0, b.center, b.radius);
  return s >= 0 && s < limit;
}

bool SightLines::cuts(Vec2 v, double limit, std::size_t self) const {
  for (const Boulder& b : always_) {
    if (b.index != self && cutBy(b, v, limit)) return true;
  }
  if (!finite(v) || !std::isfinite(limit)) {
    for (const Boulder& b : filed_) {
      if (b.index != self && cutBy(b, v, limit)) return true;
    }
    return false;
  }
  const std::uint32_t bin = binOf(directionOf(v));
  for (std::uint32_t i = binStart_[bin]; i < binStart_[bin + 1]; ++i) {
    const Boulder& b = filed_[binItems_[i]];
    if (b.index != self && b.near < limit && cutBy(b, v, limit)) return true;
  }
  return false;
}

}  // namespace rover
