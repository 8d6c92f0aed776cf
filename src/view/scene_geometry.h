#pragma once

#include <array>
#include <vector>

#include "sim/geometry.h"
#include "sim/motion.h"
#include "sim/sensing.h"

namespace rover {

// Rim points of a circle drawn as a 20-segment fan: 20 points starting at
// angle 0 (right of the centre), counter-clockwise, then the first again to
// close the fan. The unit vectors are rotated step by step in single
// precision, as the fan has always been drawn.
std::vector<Vec2> circleRim(Vec2 center, double radius);

// The view region as a triangle fan: the ellipse centre first, then 37 rim
// points every 10 degrees of the parameter angle (the last closes the rim).
// The mover sits at a focus; the ellipse reaches frontView ahead of it and
// rearView behind it.
std::vector<Vec2> viewEllipseFan(Vec2 position, Vec2 direction, const ViewEllipse& view);

// Tip and two tail corners of a mover's triangle of size k and tail factor t.
std::array<Vec2, 3> moverTriangle(Vec2 position, Vec2 direction, double size, double tail);

// Scale of the movers' triangles: they stay a fixed share of the map, so
// they are visible whatever its size.
double triangleScale(double halfSize);

// Tail factor shared by the rover's and the Martians' triangles.
inline constexpr double kTriangleTail = 1.0;

// Triangle size: the mover's body radius, or 5 times the scale when larger.
double triangleSize(double bodyRadius, double scale);

}  // namespace rover
