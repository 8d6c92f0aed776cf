#include "sim/view_ellipse.h"

#include <cmath>

namespace rover {

ViewEllipse makeViewEllipse(const VehicleParams& roverParams) {
  ViewEllipse view;
  view.offset = (roverParams.frontView - roverParams.rearView) / 2;
  view.major = (roverParams.frontView + roverParams.rearView) / 2;
  view.minor = std::sqrt(view.major * view.major - view.offset * view.offset);
  return view;
}

}  // namespace rover
