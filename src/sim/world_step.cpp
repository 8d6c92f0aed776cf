#include "sim/world_step.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "base/failure.h"
#include "sim/bounce.h"
#include "sim/object_grid.h"

namespace rover {

namespace {

double squaredDistance(Vec2 a, Vec2 b) {
  const Vec2 d = a - b;
  return d.x * d.x + d.y * d.y;
}

void removeMartian(World& world, int index) {
  auto& martians = world.martians;
  const auto live =
      std::find_if(martians.begin(), martians.end(), [&](const Martian& m) { return m.index == index; });
  auto& objects = world.roverObjects;
  const auto entry = std::find_if(objects.begin(), objects.end(), [&](const RoverObject& o) {
    return o.object.kind == ObjectKind::MartianObj && o.object.id == index;
  });
  if (live == martians.end() || entry == objects.end()) raiseFail("Martian to remove is not listed");
  martians.erase(live);
  objects.erase(entry);
}

// Whether a Martian at p touches a static object: it bounces off boulders
// and Home and falls into craters.
bool martianTouches(Vec2 p, ObjectKind kind, Vec2 c, double r) {
  switch (kind) {
    case ObjectKind::Boulder:
    case ObjectKind::Home:  // solid for Martians: they stay out of the home base
      // Squared radii summed, not the squared sum (see sim/constants.h).
      return squaredDistance(p, c) < kMartianRadius * kMartianRadius + r * r;
    case ObjectKind::Crater:
      return squaredDistance(p, c) < r * r;
    case ObjectKind::MartianObj:
      break;  // Martians pass through one another.
  }
  return false;
}

// The first static object in list order that a Martian at p touches.
std::optional<std::size_t> firstMartianContact(const std::vector<WorldObject>& objects, Vec2 p) {
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const WorldObject& object = objects[i];
    if (martianTouches(p, object.kind, object.circle.center, object.circle.radius)) return i;
  }
  return std::nullopt;
}

// The same through the grid: of the objects near p that it touches, the
// lowest-indexed, which is the one the walk above meets first.
std::optional<std::size_t> firstMartianContact(const ObjectGrid& grid, Vec2 p) {
  std::uint32_t first = std::numeric_limits<std::uint32_t>::max();
  grid.visitNearBox(p, p, kMartianRadius, [&](const ObjectGrid::Slot& slot) {
    if (slot.index < first && martianTouches(p, slot.kind, slot.center, slot.radius)) first = slot.index;
    return false;
  });
  if (first == std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return first;
}

// Walls first, then the static objects in order; returns false when the
// Martian fell into a crater and has been removed from both lists.
bool resolveMartianContacts(World& world, std::size_t position, const WorldRules& rules,
                            const ObjectGrid* grid, StepResult& result) {
  Martian& martian = world.martians[position];
  if (const auto wall = findWallContact(martian.motion.position, rules.wallBound)) {
    martian.motion = bounceOff(martian.motion, wall->normal, wall->depth);
    return true;
  }
  const Vec2 p = martian.motion.position;
  const std::optional<std::size_t> hit =
      grid != nullptr ? firstMartianContact(*grid, p) : firstMartianContact(rules.objects, p);
  if (!hit) return true;
  const WorldObject& object = rules.objects[*hit];
  if (object.kind == ObjectKind::Crater) {
    result.lost.push_back({martian.index, object.id, p});
    removeMartian(world, martian.index);
    return false;
  }
  martian.motion =
      bounceOffCircle(martian.motion, object.circle.center, kMartianRadius + object.circle.radius);
  return true;
}

// Whether the rover, at squared distance d2 from the centre of an entry's
// circle of radius r, touches it.
bool roverTouches(ObjectKind kind, double d2, double r) {
  switch (kind) {
    case ObjectKind::Boulder:
    case ObjectKind::MartianObj:
      // Squared radii summed, not the squared sum (see sim/constants.h).
      return d2 < kRoverRadius * kRoverRadius + r * r;
    case ObjectKind::Crater:
    case ObjectKind::Home:
      // The rover's own radius is not added: its centre must be inside.
      return d2 < r * r;
  }
  return false;
}

StepResult roverContact(World& world, const WorldObject& object, const CircleObject& circle,
                        StepResult result) {
  switch (object.kind) {
    case ObjectKind::Boulder:
      world.rover = bounceOffCircle(world.rover, circle.center, kRoverRadius + circle.radius);
      result.event = 'B';
      break;
    case ObjectKind::Crater:
      result.event = 'C';
      result.outcome = Outcome::CrashedIntoCrater;
      break;
    case ObjectKind::Home:
      result.event = 'S';
      result.outcome = Outcome::ReachedHome;
      break;
    case ObjectKind::MartianObj:
      result.event = 'K';
      result.outcome = Outcome::KilledByMartian;
      break;
  }
  result.contact = RoverContact{false, object.kind, object.id};
  return result;
}

// The first visible entry of the rover's list that it touches, in list
// order. With the grid, the Martian entries at the head of the list are
// walked and the static entries after them are searched near the rover.
StepResult resolveRoverContacts(World& world, const WorldRules& rules, const ObjectGrid* grid,
                                StepResult result) {
  if (const auto wall = findWallContact(world.rover.position, rules.wallBound)) {
    world.rover = bounceOff(world.rover, wall->normal, wall->depth);
    result.event = 'B';
    result.contact = RoverContact{true, ObjectKind::Boulder, -1};
    return result;
  }
  const Vec2 p = world.rover.position;
  const std::vector<RoverObject>& list = world.roverObjects;
  const std::optional<std::size_t> firstStatic =
      grid != nullptr ? grid->firstStaticEntry(list) : std::nullopt;
  const std::size_t walked = firstStatic ? *firstStatic : list.size();
  for (std::size_t i = 0; i < walked; ++i) {
    const RoverObject& entry = list[i];
    if (!entry.visible) continue;  // unseen objects are passed through
    const CircleObject circle = objectCircle(world, entry.object);
    if (roverTouches(entry.object.kind, squaredDistance(p, circle.center), circle.radius)) {
      return roverContact(world, entry.object, circle, std::move(result));
    }
  }
  if (!firstStatic) return result;
  std::uint32_t first = std::numeric_limits<std::uint32_t>::max();
  grid->visitNearBox(p, p, kRoverRadius, [&](const ObjectGrid::Slot& slot) {
    if (slot.index < first && list[*firstStatic + slot.index].visible &&
        roverTouches(slot.kind, squaredDistance(p, slot.center), slot.radius)) {
      first = slot.index;
    }
    return false;
  });
  if (first == std::numeric_limits<std::uint32_t>::max()) return result;
  const WorldObject& object = list[*firstStatic + first].object;
  return roverContact(world, object, object.circle, std::move(result));
}

}  // namespace

const char* outcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::KilledByMartian:
      return "killed by Martian";
    case Outcome::CrashedIntoCrater:
      return "crashed into crater";
    case Outcome::TimeLimitExceeded:
      return "time limit exceeded";
    case Outcome::ReachedHome:
      return "reached home";
  }
  raiseFail("unknown outcome");
}

StepResult worldStep(World& world, const WorldRules& rules, double dt) {
  world.rover = stepMotion(rules.roverModel, world.roverControl, world.rover, dt);
  for (Martian& martian : world.martians) {
    martian.motion = stepMotion(rules.martianModel, martian.control, martian.motion, dt);
  }
  const ObjectGrid* grid = usableGrid(rules);
  StepResult result;
  for (std::size_t i = 0; i < world.martians.size();) {
    if (resolveMartianContacts(world, i, rules, grid, result)) ++i;
  }
  return resolveRoverContacts(world, rules, grid, std::move(result));
}

}  // namespace rover
