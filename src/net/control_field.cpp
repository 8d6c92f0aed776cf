#include "net/control_field.h"

#include "base/failure.h"

namespace rover {

std::string controlField(ControlState control) {
  if (control.accel < -1 || control.accel > 1) raiseFail("acceleration state out of range");
  if (control.turn < -2 || control.turn > 2) raiseFail("turn state out of range");
  return {kAccelLetters[control.accel + 1], kTurnLetters[control.turn + 2]};
}

}  // namespace rover
