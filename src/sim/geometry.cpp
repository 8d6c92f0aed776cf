#include "sim/geometry.h"

namespace rover {

double normalizeAngle(double degrees) {
  // In range (both ends included): untouched, as the add/subtract loop would leave it.
  if (degrees >= -180.0 && degrees <= 180.0) return degrees;
  // fmod is exact, so one correction gives the loop's result without its
  // running time; NaN and infinities come out as NaN.
  double r = std::fmod(degrees, 360.0);
  if (r > 180.0) {
    r -= 360.0;
  } else if (r < -180.0) {
    r += 360.0;
  }
  // The loop never ends on -0.0; fmod does for negative multiples of 360.
  return r + 0.0;
}

double bearingDegrees(Vec2 d) {
  return std::atan2(d.y, d.x) * 180 / kPi;
}

}  // namespace rover
