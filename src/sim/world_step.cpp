#include "sim/world_step.h"

#include <algorithm>

#include "base/failure.h"
#include "sim/bounce.h"

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

// Walls first, then the static objects in order; returns false when the
// Martian fell into a crater and has been removed from both lists.
bool resolveMartianContacts(World& world, std::size_t position, const WorldRules& rules, StepResult& result) {
  Martian& martian = world.martians[position];
  if (const auto wall = findWallContact(martian.motion.position, rules.wallBound)) {
    martian.motion = bounceOff(martian.motion, wall->normal, wall->depth);
    return true;
  }
  const Vec2 p = martian.motion.position;
  for (const WorldObject& object : rules.objects) {
    const Vec2 c = object.circle.center;
    const double r = object.circle.radius;
    switch (object.kind) {
      case ObjectKind::Boulder:
      case ObjectKind::Home:  // solid for Martians: they stay out of the home base
        // Squared radii summed, not the squared sum (see sim/constants.h).
        if (squaredDistance(p, c) < kMartianRadius * kMartianRadius + r * r) {
          martian.motion = bounceOffCircle(martian.motion, c, kMartianRadius + r);
          return true;
        }
        break;
      case ObjectKind::Crater:
        if (squaredDistance(p, c) < r * r) {
          result.lost.push_back({martian.index, object.id, p});
          removeMartian(world, martian.index);
          return false;
        }
        break;
      case ObjectKind::MartianObj:
        break;  // Martians pass through one another.
    }
  }
  return true;
}

StepResult resolveRoverContacts(World& world, const WorldRules& rules, StepResult result) {
  if (const auto wall = findWallContact(world.rover.position, rules.wallBound)) {
    world.rover = bounceOff(world.rover, wall->normal, wall->depth);
    result.event = 'B';
    result.contact = RoverContact{true, ObjectKind::Boulder, -1};
    return result;
  }
  const Vec2 p = world.rover.position;
  for (const RoverObject& entry : world.roverObjects) {
    if (!entry.visible) continue;  // unseen objects are passed through
    const WorldObject& object = entry.object;
    const CircleObject circle = objectCircle(world, object);
    const double r = circle.radius;
    // Squared radii summed, not the squared sum (see sim/constants.h).
    const double d2 = squaredDistance(p, circle.center);
    bool touched = false;
    switch (object.kind) {
      case ObjectKind::Boulder:
        if (d2 < kRoverRadius * kRoverRadius + r * r) {
          world.rover = bounceOffCircle(world.rover, circle.center, kRoverRadius + r);
          result.event = 'B';
          touched = true;
        }
        break;
      case ObjectKind::Crater:
        if (d2 < r * r) {
          result.event = 'C';
          result.outcome = Outcome::CrashedIntoCrater;
          touched = true;
        }
        break;
      case ObjectKind::Home:
        // The rover's own radius is not added: its centre must be inside.
        if (d2 < r * r) {
          result.event = 'S';
          result.outcome = Outcome::ReachedHome;
          touched = true;
        }
        break;
      case ObjectKind::MartianObj:
        if (d2 < kRoverRadius * kRoverRadius + r * r) {
          result.event = 'K';
          result.outcome = Outcome::KilledByMartian;
          touched = true;
        }
        break;
    }
    if (touched) {
      result.contact = RoverContact{false, object.kind, object.id};
      return result;
    }
  }
  return result;
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
  StepResult result;
  for (std::size_t i = 0; i < world.martians.size();) {
    if (resolveMartianContacts(world, i, rules, result)) ++i;
  }
  return resolveRoverContacts(world, rules, std::move(result));
}

}  // namespace rover
