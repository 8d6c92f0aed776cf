#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sim/static_objects.h"

namespace rover {

// The telemetry text of each of a map's static objects ("b x y r ", each
// real with three decimals and its space), made once: the objects never
// move, so a "T" copies the text of each one it names instead of writing
// its numbers again. The objects must outlive it.
class StaticObjectText {
 public:
  explicit StaticObjectText(const StaticObjects& statics);

  // The objects the text was made of.
  const StaticObjects& statics() const { return *statics_; }
  std::string_view operator[](std::size_t k) const {
    return std::string_view(text_).substr(starts_[k], starts_[k + 1] - starts_[k]);
  }

 private:
  const StaticObjects* statics_;
  std::string text_;
  std::vector<std::size_t> starts_;  // object k's text is [starts_[k], starts_[k + 1])
};

}  // namespace rover
