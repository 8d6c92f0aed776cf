#pragma once

namespace rover {

// The numbers of the game's rules, each with why it has its value. Clients
// model these exactly, so none of them is a tuning knob.

// Bodies and places.
inline constexpr double kHomeRadius = 5.0;     // the home base: this circle around the origin
inline constexpr double kRoverRadius = 0.5;    // the rover's body in contact tests
inline constexpr double kMartianRadius = 0.4;  // a Martian's body in contact tests
inline constexpr double kWallInset = 0.5;      // a mover's centre stays this far inside the terrain's edge

// Contacts. The tests compare the squared distance with the *sum of the
// squared radii* (D^2 < r^2 + 0.25 for the rover and a boulder), not with the
// square of the summed radii: bodies overlap a little before they touch.
// This is the rule clients model, not a slip.
inline constexpr double kPushOutMargin = 0.1;  // a bounced mover is set this far clear of what it hit
inline constexpr double kBounceFactor = 1.5;   // u' = u - 1.5 (u.n) n: the normal part reverses at half speed
inline constexpr double kMinVectorLength = 1e-5;  // shorter vectors are used as they are, never divided by ~0

// Martian steering.
inline constexpr double kWanderWeight = 0.2;  // the wander wish is a drift any other wish overrides
inline constexpr double kWanderStep = 2.0;    // each decision moves the wander angle by up to 2 degrees
inline constexpr double kWanderLimit = 90.0;  // within 90 degrees the wander target is never behind
inline constexpr double kRoverPull = 25.0;    // weight 25 / (distance - view): grows sharply near the rover
inline constexpr double kObstacleWeight = 100.0;  // weight 100 / distance: a near obstacle outweighs the rest
inline constexpr double kLookAheadSeconds = 5.0;  // the look-ahead ray reaches 5 s of travel
inline constexpr double kClearance = 0.1;         // steering around aims this far outside the rim
inline constexpr double kClearanceAngle = 90.0;   // inside the clearance circle: leave along the tangent
inline constexpr double kSlowSpeed = 0.1;         // below it arrival times mean nothing: always accelerate
inline constexpr double kMinTurnAngle = 0.1;      // heading changes up to this count as straight ahead
inline constexpr double kArrivalMargin = 1.5;     // full speed only with 1.5 turn times in hand
inline constexpr double kAccelDeadband = 0.01;    // acceleration wishes this small mean rolling

}  // namespace rover
