#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/game_listener.h"

namespace rover {

class Game;
class Clock;

// glutInit with the program name followed by every argument. GLUT may keep
// pointers into the vector, so the copies live as long as the process.
void initGlut(const std::vector<std::string>& programAndArguments);

// Window mode's run-start listener: builds the display lists of each run's
// static objects.
std::unique_ptr<GameListener> makeSceneListener();

// Creates the window (title from the map path as typed), registers the
// callbacks, runs the game start and enters glutMainLoop. Never returns:
// "q" calls quit; a failure inside a callback exits with status 1.
[[noreturn]] void runWindowMode(Game& game, Clock& clock, const std::string& mapPath,
                                std::function<void()> quit);

}  // namespace rover
