#include "sim/sensing.h"

#include <cmath>
#include <optional>

#include "sim/object_grid.h"
#include "sim/occlusion.h"

namespace rover {

namespace {

// Whether the near edge of the circle, seen from the ellipse centre e, lies
// inside the view ellipse.
bool insideEllipse(const ViewEllipse& view, Vec2 e, double cosH, double sinH, const CircleObject& circle) {
  const Vec2 toCenter = circle.center - e;
  const double distance = length(toCenter);
  const double gap = distance - circle.radius;
  if (gap > view.major) return false;
  if (gap <= view.minor) return true;
  const Vec2 w = {toCenter.x / distance, toCenter.y / distance};
  const double along = w.x * cosH + w.y * sinH;
  const double across = w.x * -sinH + w.y * cosH;
  const double rho =
      view.major * view.minor /
      std::sqrt((view.minor * view.minor) * (along * along) + (view.major * view.major) * (across * across));
  return rho > gap;
}

// Leaves the visible flag set on exactly the entries that remain visible
// after occlusion, and lists the hidden ones for records.
std::vector<std::size_t> settleFlags(World& world, const std::vector<SensedCircle>& seen,
                                     std::vector<std::size_t> visible, std::vector<std::size_t>* occluded) {
  for (const SensedCircle& s : seen) world.roverObjects[s.entry].visible = false;
  for (const std::size_t i : visible) world.roverObjects[i].visible = true;
  if (occluded != nullptr) {
    occluded->clear();
    for (const SensedCircle& s : seen) {
      if (!world.roverObjects[s.entry].visible) occluded->push_back(s.entry);
    }
  }
  return visible;
}

}  // namespace

ViewEllipse makeViewEllipse(const VehicleParams& roverParams) {
  ViewEllipse view;
  view.offset = (roverParams.frontView - roverParams.rearView) / 2;
  view.major = (roverParams.frontView + roverParams.rearView) / 2;
  view.minor = std::sqrt(view.major * view.major - view.offset * view.offset);
  return view;
}

std::vector<std::size_t> sensePass(const ViewEllipse& view, World& world,
                                   std::vector<std::size_t>* occluded) {
  const MotionState& rover = world.rover;
  const Vec2 e = rover.position + rover.direction * view.offset;
  const double hr = rover.heading * view.degToRad;
  const double cosH = std::cos(hr);
  const double sinH = std::sin(hr);

  std::vector<SensedCircle> seen;
  for (std::size_t i = 0; i < world.roverObjects.size(); ++i) {
    RoverObject& entry = world.roverObjects[i];
    const CircleObject circle = objectCircle(world, entry.object);
    entry.visible = insideEllipse(view, e, cosH, sinH, circle);
    if (entry.visible) seen.push_back({i, circle, entry.object.kind == ObjectKind::Boulder});
  }

  return settleFlags(world, seen, visibleAfterOcclusion(rover.position, seen), occluded);
}

std::vector<std::size_t> sensePass(const ViewEllipse& view, World& world, const WorldRules& rules,
                                   std::vector<std::size_t>* occluded) {
  const ObjectGrid* grid = usableGrid(rules);
  const std::optional<std::size_t> firstStatic =
      grid != nullptr ? grid->firstStaticEntry(world.roverObjects) : std::nullopt;
  if (!firstStatic) return sensePass(view, world, occluded);
  const MotionState& rover = world.rover;
  const Vec2 e = rover.position + rover.direction * view.offset;
  const double hr = rover.heading * view.degToRad;
  const double cosH = std::cos(hr);
  const double sinH = std::sin(hr);

  // The Martian entries as above, then the static entries the grid finds
  // near the ellipse, in list order.
  std::vector<SensedCircle> seen;
  for (std::size_t i = 0; i < *firstStatic; ++i) {
    RoverObject& entry = world.roverObjects[i];
    const CircleObject circle = objectCircle(world, entry.object);
    entry.visible = insideEllipse(view, e, cosH, sinH, circle);
    if (entry.visible) seen.push_back({i, circle, entry.object.kind == ObjectKind::Boulder});
  }
  // An object inside the ellipse has its near edge at most `major` from e.
  std::vector<RoverObject>& list = world.roverObjects;
  for (std::size_t i = *firstStatic; i < list.size(); ++i) list[i].visible = false;
  grid->visitNearBox(e, e, view.major, [&](const ObjectGrid::Slot& slot) {
    if (insideEllipse(view, e, cosH, sinH, {slot.center, slot.radius}))
      list[*firstStatic + slot.index].visible = true;
    return false;
  });
  for (std::size_t i = *firstStatic; i < list.size(); ++i) {
    if (list[i].visible)
      seen.push_back({i, list[i].object.circle, list[i].object.kind == ObjectKind::Boulder});
  }

  return settleFlags(world, seen, visibleAfterOcclusion(rover.position, seen, *grid, *firstStatic), occluded);
}

}  // namespace rover
