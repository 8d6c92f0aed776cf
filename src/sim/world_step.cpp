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
    return o.object.kind == ObjectKind::MartianObj && o.object.martianIndex == index;
  });
  if (live == martians.end() || entry == objects.end()) raiseFail("Martian to remove is not listed");
  martians.erase(live);
  objects.erase(entry);
}

// Walls first, then the static objects in order; returns false when the
// Martian fell into a crater and has been removed from both lists.
bool resolveMartianContacts(World& world, std::size_t position, const WorldRules& rules) {
  Martian& martian = world.martians[position];
  if (const auto wall = findWallContact(martian.motion.position, rules.wallBound)) {
    martian.motion = bounceOff(martian.motion, wall->normal, wall->depth);
    return true;
  }
  const Vec2 p = martian.motion.position;
  for (const WorldObject& object : rules.objects) {
    const double r = object.circle.radius;
    switch (object.kind) {
      case ObjectKind::Boulder:
        if (squaredDistance(p, object.circle.center) < kMartianRadius * kMartianRadius + r * r) {
          martian.motion = bounceOffCircle(martian.motion, object.circle.center, kMartianRadius + r);
          return true;
        }
        break;
      case ObjectKind::Crater:
        if (squaredDistance(p, object.circle.center) < r * r) {
          removeMartian(world, martian.index);
          return false;
        }
        break;
      case ObjectKind::Home:
        if (squaredDistance(p, Vec2{}) < kMartianRadius * kMartianRadius + kHomeRadius * kHomeRadius) {
          martian.motion = bounceOffCircle(martian.motion, Vec2{}, kMartianRadius + kHomeRadius);
          return true;
        }
        break;
      case ObjectKind::MartianObj:
        break;  // Martians pass through one another.
    }
  }
  return true;
}

StepResult resolveRoverContacts(World& world, const WorldRules& rules) {
  if (const auto wall = findWallContact(world.rover.position, rules.wallBound)) {
    world.rover = bounceOff(world.rover, wall->normal, wall->depth);
    return {'B', std::nullopt};
  }
  const Vec2 p = world.rover.position;
  for (const RoverObject& entry : world.roverObjects) {
    if (!entry.visible) continue;  // unseen objects are passed through
    const WorldObject& object = entry.object;
    const double r = object.circle.radius;
    switch (object.kind) {
      case ObjectKind::Boulder:
        if (squaredDistance(p, object.circle.center) < kRoverRadius * kRoverRadius + r * r) {
          world.rover = bounceOffCircle(world.rover, object.circle.center, kRoverRadius + r);
          return {'B', std::nullopt};
        }
        break;
      case ObjectKind::Crater:
        if (squaredDistance(p, object.circle.center) < r * r) return {'C', Outcome::CrashedIntoCrater};
        break;
      case ObjectKind::Home:
        if (squaredDistance(p, Vec2{}) < kHomeRadius * kHomeRadius) return {'S', Outcome::ReachedHome};
        break;
      case ObjectKind::MartianObj: {
        const Martian* martian = findMartian(world, object.martianIndex);
        if (martian == nullptr) raiseFail("rover object names a Martian that is gone");
        if (squaredDistance(p, martian->motion.position) <
            kRoverRadius * kRoverRadius + kMartianRadius * kMartianRadius) {
          return {'K', Outcome::KilledByMartian};
        }
        break;
      }
    }
  }
  return {};
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
  for (std::size_t i = 0; i < world.martians.size();) {
    if (resolveMartianContacts(world, i, rules)) ++i;
  }
  return resolveRoverContacts(world, rules);
}

}  // namespace rover
