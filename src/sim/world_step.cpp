#include "sim/world_step.h"

#include <algorithm>

#include "base/failure.h"
#include "sim/bounce.h"
#include "sim/static_objects.h"
#include "sim/touch_rules.h"

namespace rover {

namespace {

double squaredDistance(Vec2 a, Vec2 b) {
  const Vec2 d = a - b;
  return d.x * d.x + d.y * d.y;
}

// The Martians flagged in `gone` (by place in the list) leave both lists,
// in one pass however many fell into craters at once.
void removeLost(World& world, const std::vector<char>& gone) {
  RoverObjects& list = world.roverObjects;
  std::vector<Martian>& martians = world.martians;
  if (list.martianCount() != martians.size()) raiseFail("Martian to remove is not listed");
  std::size_t kept = 0;
  for (std::size_t i = 0; i < martians.size(); ++i) {
    if (list.martianId(i) != martians[i].index) raiseFail("Martian to remove is not listed");
    if (gone[i] == 0) martians[kept++] = martians[i];
  }
  martians.resize(kept);
  list.removeMartians(gone);
}

// Walls first, then the static objects in order; returns false when the
// Martian fell into a crater: it is then lost, and leaves the lists once all
// have been tested (no Martian's contacts depend on another's).
bool resolveMartianContacts(Martian& martian, const StaticObjects& statics, double wallBound,
                            StepResult& result) {
  if (const auto wall = findWallContact(martian.motion.position, wallBound)) {
    martian.motion = bounceOff(martian.motion, wall->normal, wall->depth);
    return true;
  }
  const Vec2 p = martian.motion.position;
  if (martian.clearance.covers(p)) return true;
  const StaticObjects::MartianContact contact = statics.martianContact(p);
  martian.clearance = {p, contact.clearance};
  const std::optional<std::size_t> hit = contact.object;
  if (!hit) return true;
  const WorldObject& object = statics[*hit];
  if (object.kind == ObjectKind::Crater) {
    result.lost.push_back({martian.index, object.id, p});
    return false;
  }
  martian.motion =
      bounceOffCircle(martian.motion, object.circle.center, kMartianRadius + object.circle.radius);
  return true;
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
// order: the Martian entries at its head, then the static objects.
StepResult resolveRoverContacts(World& world, const StaticObjects& statics, double wallBound,
                                StepResult result) {
  if (const auto wall = findWallContact(world.rover.position, wallBound)) {
    world.rover = bounceOff(world.rover, wall->normal, wall->depth);
    result.event = 'B';
    result.contact = RoverContact{true, ObjectKind::Boulder, -1};
    return result;
  }
  const Vec2 p = world.rover.position;
  const RoverObjects& list = world.roverObjects;
  for (std::size_t i = 0; i < list.martianCount(); ++i) {
    if (!list.visible(i)) continue;  // unseen objects are passed through
    const WorldObject object = list[i].object;
    const CircleObject circle = objectCircle(world, object);
    if (roverTouches(object.kind, squaredDistance(p, circle.center), circle.radius)) {
      return roverContact(world, object, circle, std::move(result));
    }
  }
  const std::optional<std::size_t> hit = statics.roverContact(p, list.staticFlags());
  if (!hit) return result;
  const WorldObject& object = statics[*hit];
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
  const StaticObjects& statics = staticsOf(world, rules);
  world.rover = stepMotion(rules.roverModel, world.roverControl, world.rover, dt);
  for (Martian& martian : world.martians) {
    martian.motion = stepMotion(rules.martianModel, martian.control, martian.motion, dt);
  }
  StepResult result;
  std::vector<char> gone;  // by place in the list, once a Martian is lost
  for (std::size_t i = 0; i < world.martians.size(); ++i) {
    if (resolveMartianContacts(world.martians[i], statics, rules.wallBound, result)) continue;
    if (gone.empty()) gone.assign(world.martians.size(), 0);
    gone[i] = 1;
  }
  if (!gone.empty()) removeLost(world, gone);
  return resolveRoverContacts(world, statics, rules.wallBound, std::move(result));
}

}  // namespace rover
