#pragma once

#include "sim/constants.h"
#include "sim/geometry.h"
#include "sim/world.h"

namespace rover {

// Whether a Martian at p touches a static object: it bounces off boulders
// and Home and falls into craters.
inline bool martianTouches(Vec2 p, ObjectKind kind, Vec2 c, double r) {
  const Vec2 d = p - c;
  const double d2 = d.x * d.x + d.y * d.y;
  switch (kind) {
    case ObjectKind::Boulder:
    case ObjectKind::Home:  // solid for Martians: they stay out of the home base
      // Squared radii summed, not the squared sum (see sim/constants.h).
      return d2 < kMartianRadius * kMartianRadius + r * r;
    case ObjectKind::Crater:
      return d2 < r * r;
    case ObjectKind::MartianObj:
      break;  // Martians pass through one another.
  }
  return false;
}

// Whether the rover, at squared distance d2 from the centre of an entry's
// circle of radius r, touches it.
inline bool roverTouches(ObjectKind kind, double d2, double r) {
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

// The circle a Martian's look-ahead ray must miss: a solid object enlarged by
// the Martian's body; a crater as it is, since only the centre falls in.
// False for Martians, which do not steer around one another.
inline bool lookAheadRadius(ObjectKind kind, double radius, double& r) {
  switch (kind) {
    case ObjectKind::Boulder:
    case ObjectKind::Home:
      r = radius + kMartianRadius;
      return true;
    case ObjectKind::Crater:
      r = radius;
      return true;
    case ObjectKind::MartianObj:
      break;
  }
  return false;
}

}  // namespace rover
