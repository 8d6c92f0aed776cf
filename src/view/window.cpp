#include "view/window.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "driver/clock.h"
#include "driver/game.h"
#include "view/callback_failure.h"
#include "view/scene.h"
#include "view/status_lines.h"
#include "view/window_layout.h"

namespace rover {

namespace {

const TimeValue kRedrawInterval = TimeValue::fromMillis(100);

// Everything the callbacks need; GLUT callbacks take no user data.
struct WindowState {
  Game* game = nullptr;
  Clock* clock = nullptr;
  std::function<void()> quit;
  TimeValue lastRedraw;
  SceneSetup setup;
};

WindowState& windowState() {
  static WindowState state;
  return state;
}

// Filled by the announcer at every run start, read by every frame.
std::shared_ptr<SceneLists>& sharedSceneLists() {
  static std::shared_ptr<SceneLists> lists = std::make_shared<SceneLists>();
  return lists;
}

class SceneListener final : public GameListener {
 public:
  explicit SceneListener(std::shared_ptr<SceneLists> lists) : lists_(std::move(lists)) {}
  void runStarted(const MapSpec& map, int) override { buildSceneLists(*lists_, map); }

 private:
  std::shared_ptr<SceneLists> lists_;
};

void displayCallback() {
  guardCallback([] {
    WindowState& state = windowState();
    const Game& game = *state.game;
    const std::vector<std::string> lines = statusLines(game.results(), game.roundCounter(), game.runInPlay(),
                                                       state.clock->now() - game.runStart());
    drawScene(state.setup, *sharedSceneLists(), game.world(), lines);
  });
}

// The main-loop body: perform due events, and ask for a frame about ten
// times a second whatever the simulation does.
void idleCallback() {
  guardCallback([] {
    WindowState& state = windowState();
    const TimeValue now = state.clock->now();
    const TimeValue elapsed = now - state.lastRedraw;
    state.game->runDueEvents();
    if (elapsed > kRedrawInterval) {
      glutPostRedisplay();
      state.lastRedraw = now;
    }
  });
}

// Every frame sets its own viewports, so a new window size needs no work here.
void reshapeCallback(int, int) {
  guardCallback([] {});
}

void keyboardCallback(unsigned char key, int, int) {
  guardCallback([key] {
    if (key == 'q') {
      windowState().quit();
    } else {
      glutPostRedisplay();
    }
  });
}

void visibilityCallback(int visibility) {
  guardCallback([visibility] {
    if (visibility == GLUT_VISIBLE) glutPostRedisplay();
  });
}

}  // namespace

void initGlut(const std::vector<std::string>& programAndArguments) {
  // GLUT may keep pointers into the vector and its strings for as long as it
  // runs, so the copies are never freed. They stay reachable from this
  // static, so leak checkers do not count them.
  static std::vector<std::unique_ptr<char[]>>* strings = new std::vector<std::unique_ptr<char[]>>();
  static std::vector<char*>* pointers = new std::vector<char*>();
  for (const std::string& argument : programAndArguments) {
    auto copy = std::make_unique<char[]>(argument.size() + 1);
    std::memcpy(copy.get(), argument.c_str(), argument.size() + 1);
    pointers->push_back(copy.get());
    strings->push_back(std::move(copy));
  }
  pointers->push_back(nullptr);
  int count = static_cast<int>(programAndArguments.size());
  glutInit(&count, pointers->data());
}

std::unique_ptr<GameListener> makeSceneListener() {
  return std::make_unique<SceneListener>(sharedSceneLists());
}

void runWindowMode(Game& game, Clock& clock, const std::string& mapPath, std::function<void()> quit) {
  WindowState& state = windowState();
  state.game = &game;
  state.clock = &clock;
  state.quit = std::move(quit);

  glutInitDisplayMode(GLUT_DOUBLE | GLUT_ALPHA);
  glutInitWindowSize(kWindowWidth, kWindowHeight);
  const std::string title = "Low-res Sample Server (1.1) -- " + mapPath;
  glutCreateWindow(title.c_str());

  const double h = game.map().halfSize;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(-h, h, -h, h);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(0, 0, 1, 0, 0, 0, 0, 1, 0);

  state.setup = makeSceneSetup(game.map());
  glutDisplayFunc(displayCallback);
  state.lastRedraw = clock.now();
  glutIdleFunc(idleCallback);
  glutReshapeFunc(reshapeCallback);
  glutKeyboardFunc(keyboardCallback);
  glutVisibilityFunc(visibilityCallback);

  game.start();
  glutMainLoop();
  // freeglut's default ends the process when the window is closed, so this
  // is reached only if that policy is changed; end as "q" would.
  state.quit();
  std::exit(0);
}

}  // namespace rover
