#pragma once

#include <cstddef>
#include <iterator>
#include <memory>
#include <span>
#include <vector>

#include "sim/world_object.h"

namespace rover {

class StaticObjects;
struct Martian;

// An entry of the rover's object list with the visible flag that the latest
// sensing pass wrote.
struct RoverObject {
  WorldObject object;
  bool visible = false;
};

// The rover's object list: one entry per live Martian, in the order of the
// run's Martian list, then one per static object, in the static list's
// order; each with the visible flag of the latest sensing pass (clear until
// the first). Entries are read as RoverObject values.
class RoverObjects {
 public:
  RoverObjects() = default;
  // The list as a run starts it: every flag clear.
  RoverObjects(const std::vector<Martian>& martians, std::shared_ptr<const StaticObjects> statics);

  std::size_t size() const { return visible_.size(); }
  bool empty() const { return visible_.empty(); }
  std::size_t martianCount() const { return martianIds_.size(); }
  std::size_t staticCount() const { return visible_.size() - martianIds_.size(); }
  // The entry of static object k.
  std::size_t staticEntry(std::size_t k) const { return martianIds_.size() + k; }
  const StaticObjects* statics() const { return statics_.get(); }

  RoverObject operator[](std::size_t entry) const;
  bool visible(std::size_t entry) const { return visible_[entry] != 0; }
  void setVisible(std::size_t entry, bool visible) { visible_[entry] = visible; }
  // The flags of the static entries, one per static object.
  std::span<const char> staticFlags() const { return std::span(visible_).subspan(martianIds_.size()); }
  std::span<char> staticFlags() { return std::span(visible_).subspan(martianIds_.size()); }

  // Removes the entries of the Martians whose flag in `gone` (one per Martian
  // entry, in list order) is set, in one pass however many there are.
  void removeMartians(std::span<const char> gone);
  // The Martian index that entry i (< martianCount()) names.
  int martianId(std::size_t i) const { return martianIds_[i]; }

  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = RoverObject;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = RoverObject;

    Iterator() = default;
    Iterator(const RoverObjects* list, std::size_t entry) : list_(list), entry_(entry) {}
    RoverObject operator*() const { return (*list_)[entry_]; }
    Iterator& operator++() {
      ++entry_;
      return *this;
    }
    Iterator operator++(int) {
      Iterator before = *this;
      ++entry_;
      return before;
    }
    bool operator==(const Iterator& other) const { return entry_ == other.entry_; }

   private:
    const RoverObjects* list_ = nullptr;
    std::size_t entry_ = 0;
  };
  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, size()}; }

 private:
  std::vector<int> martianIds_;  // the Martians' indices, in list order
  std::vector<char> visible_;    // one flag per entry
  std::shared_ptr<const StaticObjects> statics_;
};

}  // namespace rover
