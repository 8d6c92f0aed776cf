#pragma once

#include "driver/game_listener.h"
#include "net/lockstep_input.h"
#include "net/recording_transport.h"

namespace rover {

// A game record: it hears the game, every receive on the client's
// connection and how each lockstep reply resolved.
class GameRecording : public GameListener, public ReceiveObserver, public ReplyObserver {};

}  // namespace rover
