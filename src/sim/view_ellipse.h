#pragma once

#include "sim/geometry.h"
#include "sim/motion.h"
#include "sim/world.h"

namespace rover {

// The rover's view region: an ellipse with the rover at a focus, reaching
// frontView ahead and rearView behind.
struct ViewEllipse {
  double offset = 0.0;
  double major = 0.0;
  double minor = 0.0;
  double degToRad = kPi / 180;
};

ViewEllipse makeViewEllipse(const VehicleParams& roverParams);

// Whether the near edge of the circle, seen from the ellipse centre e along
// the line to its centre, lies inside the view ellipse of a rover whose
// heading has this cosine and sine.
inline bool insideViewEllipse(const ViewEllipse& view, Vec2 e, double cosH, double sinH,
                              const CircleObject& circle) {
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

}  // namespace rover
