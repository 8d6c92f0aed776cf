#include "net/messages.h"

#include "base/failure.h"
#include "net/control_field.h"
#include "net/wire_format.h"

namespace rover {
namespace {

constexpr int kR3 = 3;
constexpr int kR1 = 1;

void startMessage(OutputBuffer& out, char letter) {
  out.append(letter);
  out.append(' ');
}

// Every message leaves the moment its ";" is in.
void endMessage(OutputBuffer& out) {
  out.append(';');
  out.flush();
}

void writeMartian(OutputBuffer& out, const Martian& martian) {
  startMessage(out, 'm');
  writeReal(out, martian.motion.position.x, kR3);
  writeReal(out, martian.motion.position.y, kR3);
  writeReal(out, martian.motion.heading, kR1);
  writeReal(out, martian.motion.speed, kR3);
}

}  // namespace

void sendInit(OutputBuffer& out, const MapSpec& map) {
  const double side = map.halfSize * 2.0;
  const VehicleParams& params = map.vehicleParams;
  startMessage(out, 'I');
  writeReal(out, side, kR3);
  writeReal(out, side, kR3);
  writeTime(out, TimeValue::fromMillis(map.timeLimitMillis));
  writeReal(out, params.rearView, kR3);
  writeReal(out, params.frontView, kR3);
  writeReal(out, params.maxSpeed, kR3);
  writeReal(out, params.turn, kR1);
  writeReal(out, params.hardTurn, kR1);
  endMessage(out);
}

void sendTelemetry(OutputBuffer& out, const TimeValue& runTime, const World& world,
                   const std::vector<std::size_t>& visible, const StaticObjectText& statics) {
  const MotionState& rover = world.rover;
  const RoverObjects& list = world.roverObjects;
  startMessage(out, 'T');
  writeTime(out, runTime);
  out.append(controlField(world.roverControl));
  out.append(' ');
  writeReal(out, rover.position.x, kR3);
  writeReal(out, rover.position.y, kR3);
  writeReal(out, rover.heading, kR1);
  writeReal(out, rover.speed, kR3);
  const bool textFits = list.statics() == &statics.statics();
  for (std::size_t index : visible) {
    if (index >= list.size()) raiseKind(FailureKind::Subscript);
    if (index < list.martianCount()) {
      writeMartian(out, martianAtEntry(world, index));
    } else {
      if (!textFits) raiseFail("the static objects' text is another map's");
      out.append(statics[index - list.martianCount()]);
    }
  }
  endMessage(out);
}

void sendEvent(OutputBuffer& out, char event, const TimeValue& runTime) {
  startMessage(out, event);
  writeTime(out, runTime);
  endMessage(out);
}

void sendEnd(OutputBuffer& out, const TimeValue& runTime, const TimeValue& score) {
  startMessage(out, 'E');
  writeTime(out, runTime);
  writeTime(out, score);
  endMessage(out);
}

}  // namespace rover
