// Placeholder until the window is built: window mode fails cleanly.
#include "view/window.h"

#include "base/failure.h"

namespace rover {

void initGlut(const std::vector<std::string>&) {}

std::unique_ptr<RoundAnnouncer> makeSceneAnnouncer() { raiseFail("window mode is not available"); }

void runWindowMode(Game&, Clock&, const std::string&, std::function<void()>) {
  raiseFail("window mode is not available");
}

}  // namespace rover
