#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rover::testing {

// A private Xvfb server on a display number it picks itself, stopped when the
// object goes away. Window tests run against it with Mesa's software OpenGL.
class XvfbDisplay {
 public:
  XvfbDisplay();
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  bool ready() const { return !name_.empty(); }
  const std::string& name() const { return name_; }  // ":N"
  // Environment entries for a server that draws on this display.
  std::vector<std::string> environment() const;

 private:
  int pid_ = -1;
  std::string name_;
};

// Runs a shell command with DISPLAY set to the display; its standard output,
// or nullopt when it fails.
std::optional<std::string> runOnDisplay(const XvfbDisplay& display, const std::string& command);

// The id ("0x...") of a window whose name is exactly the title, if one exists.
std::optional<std::string> findWindow(const XvfbDisplay& display, const std::string& title);
// Polls for the window until the bound.
std::optional<std::string> waitForWindow(const XvfbDisplay& display, const std::string& title,
                                         std::chrono::milliseconds bound);
// Whether any window name contains the text.
bool anyWindowNamed(const XvfbDisplay& display, const std::string& text);

// Sends key presses (xdotool key names) to a window.
bool pressKeys(const XvfbDisplay& display, const std::string& window, const std::string& keys);
// Sends only the key-down event of one key: a key that ends the program
// destroys the window before a key-up could be delivered.
bool pressKeyDown(const XvfbDisplay& display, const std::string& window, const std::string& key);

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
};

// A picture of one window, rows top-down as X stores them; pixels of the
// window that lie off the screen match no colour.
class Screenshot {
 public:
  // Captures the window; nullopt when it cannot (for example the window is gone).
  static std::optional<Screenshot> capture(const XvfbDisplay& display, const std::string& window,
                                           const std::string& keepPngAs = "");
  int width() const { return width_; }
  int height() const { return height_; }
  Rgb at(int x, int y) const;
  // The pixel at OpenGL window coordinates (origin bottom-left).
  Rgb atGl(int x, int glY) const { return at(x, height_ - 1 - glY); }
  // Whether some pixel of the rectangle [x0, x1) x [y0, y1) has the colour (within tolerance).
  bool contains(int x0, int y0, int x1, int y1, Rgb colour, int tolerance) const;

 private:
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  int screenWidth_ = 0;
  int screenHeight_ = 0;
  std::vector<std::uint8_t> rgb_;
};

bool near(Rgb actual, Rgb expected, int tolerance);

}  // namespace rover::testing
