#include "base/version.h"

namespace rover {

const char* serverVersion() {
  return ROVER_VERSION;
}

}  // namespace rover
