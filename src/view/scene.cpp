#include "view/scene.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cmath>

#include "base/failure.h"
#include "view/scene_geometry.h"
#include "view/window_layout.h"

namespace rover {

namespace {

struct Colour {
  float red;
  float green;
  float blue;
};

constexpr Colour kMapColour{0.75f, 0.75f, 0.75f};
constexpr Colour kViewColour{1.0f, 1.0f, 1.0f};
constexpr Colour kHomeColour{0.0f, 1.0f, 0.0f};
constexpr Colour kCraterColour{0.5f, 0.25f, 0.0f};
constexpr Colour kBoulderColour{0.4f, 0.4f, 0.4f};
constexpr Colour kMartianColour{1.0f, 0.0f, 0.0f};
constexpr Colour kRoverColour{0.25f, 0.5f, 0.0f};
constexpr Colour kTextColour{0.0f, 0.8f, 1.0f};

Colour colourOf(ObjectKind kind) {
  switch (kind) {
    case ObjectKind::Home:
      return kHomeColour;
    case ObjectKind::Crater:
      return kCraterColour;
    case ObjectKind::Boulder:
      return kBoulderColour;
    case ObjectKind::MartianObj:
      break;
  }
  return kMartianColour;
}

// Hidden objects are drawn with half alpha; blending is off, so this only
// records the visibility in the colour state.
void setEntryColour(Colour colour, bool visible) {
  glColor4f(colour.red, colour.green, colour.blue, visible ? 1.0f : 0.5f);
}

void vertex(Vec2 point) {
  glVertex2f(static_cast<float>(point.x), static_cast<float>(point.y));
}

void drawTriangle(const MotionState& motion, double size, double tail) {
  const double radians = motion.heading * kPi / 180.0;
  const Vec2 direction{std::cos(radians), std::sin(radians)};
  glBegin(GL_TRIANGLES);
  for (Vec2 corner : moverTriangle(motion.position, direction, size, tail)) vertex(corner);
  glEnd();
}

void drawMapSquare(float h) {
  glColor3f(kMapColour.red, kMapColour.green, kMapColour.blue);
  glBegin(GL_QUADS);
  glVertex2f(-h, -h);
  glVertex2f(h, -h);
  glVertex2f(h, h);
  glVertex2f(-h, h);
  glEnd();
}

void drawViewRegion(const SceneSetup& setup, const MotionState& rover) {
  glColor3f(kViewColour.red, kViewColour.green, kViewColour.blue);
  glBegin(GL_TRIANGLE_FAN);
  for (Vec2 point : viewEllipseFan(rover.position, rover.direction, setup.view)) vertex(point);
  glEnd();
}

// Static objects first, then the Martians on top of them, so a Martian
// crossing a crater stays in sight.
void drawEntries(const SceneSetup& setup, const SceneLists& lists, const World& world) {
  std::size_t listIndex = 0;
  for (const RoverObject& entry : world.roverObjects) {
    if (entry.object.kind == ObjectKind::MartianObj) continue;
    if (listIndex >= lists.names.size()) break;
    setEntryColour(colourOf(entry.object.kind), entry.visible);
    glCallList(lists.names[listIndex++]);
  }
  for (const RoverObject& entry : world.roverObjects) {
    if (entry.object.kind != ObjectKind::MartianObj) continue;
    const MotionState& martian = martianOf(world, entry.object).motion;
    setEntryColour(kMartianColour, entry.visible);
    drawTriangle(martian, setup.martianTriangle, setup.triangleTail);
  }
}

void drawStatusText(const std::vector<std::string>& lines) {
  glDisable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, glutGet(GLUT_WINDOW_WIDTH), 0, glutGet(GLUT_WINDOW_HEIGHT), -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  int y = kTextTopY;
  for (const std::string& line : lines) {
    glRasterPos2i(kTextColumnX, y);
    for (char c : line) {
      if (c == '\n') {
        y -= kTextLineHeight;
        glRasterPos2i(kTextColumnX, y);
      } else {
        glutBitmapCharacter(GLUT_BITMAP_HELVETICA_12, static_cast<unsigned char>(c));
      }
    }
    y -= kTextLineHeight;
  }
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glEnable(GL_DEPTH_TEST);
}

}  // namespace

SceneSetup makeSceneSetup(const MapSpec& map) {
  const double scale = triangleScale(map.halfSize);
  return SceneSetup{static_cast<float>(map.halfSize), makeViewEllipse(map.vehicleParams),
                    triangleSize(kRoverRadius, scale), triangleSize(kMartianRadius, scale), kTriangleTail};
}

void buildSceneLists(SceneLists& lists, const MapSpec& map) {
  std::vector<unsigned int> names;
  names.reserve(map.objects.size());
  for (const WorldObject& object : map.objects) {
    const Vec2 center = object.circle.center;
    const double radius = object.circle.radius;
    const GLuint name = glGenLists(1);
    if (name == 0) raiseFail("genList error");
    glNewList(name, GL_COMPILE);
    glBegin(GL_TRIANGLE_FAN);
    vertex(center);
    for (Vec2 point : circleRim(center, radius)) vertex(point);
    glEnd();
    glEndList();
    names.push_back(name);
  }
  lists.names = std::move(names);
}

void drawScene(const SceneSetup& setup, const SceneLists& lists, const World& world,
               const std::vector<std::string>& statusLines) {
  glShadeModel(GL_FLAT);
  glDisable(GL_CULL_FACE);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);

  glViewport(kMapViewportX, kMapViewportY, kMapViewportSize, kMapViewportSize);
  glPolygonMode(GL_FRONT, GL_FILL);
  drawMapSquare(setup.halfSize);
  drawViewRegion(setup, world.rover);
  drawEntries(setup, lists, world);
  glColor3f(kRoverColour.red, kRoverColour.green, kRoverColour.blue);
  drawTriangle(world.rover, setup.roverTriangle, setup.triangleTail);

  glViewport(0, 0, kWindowWidth, kWindowHeight);
  glColor3f(kTextColour.red, kTextColour.green, kTextColour.blue);
  drawStatusText(statusLines);
  glutSwapBuffers();
}

}  // namespace rover
