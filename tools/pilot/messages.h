#pragma once

// pilot is built on the C++ starter kit (clients/cpp): its messages and
// controls are the kit's.
#include "rover/messages.h"

namespace rover::pilot {

using client::Controls;
using client::EndMessage;
using client::EventMessage;
using client::InitMessage;
using client::ObjectKind;
using client::SeenObject;
using client::Telemetry;

}  // namespace rover::pilot
