#include "x_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace rover::testing {

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kXvfbStartBound{60000};

std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The integer after a label in xwininfo's report; 0 when absent.
int fieldAfter(const std::string& report, const std::string& label) {
  const std::size_t at = report.find(label);
  if (at == std::string::npos) return 0;
  return std::atoi(report.c_str() + at + label.size());
}

}  // namespace

XvfbDisplay::XvfbDisplay() {
  int fds[2];
  if (::pipe(fds) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::close(fds[0]);
    int devNull = ::open("/dev/null", O_RDWR);
    ::dup2(devNull, 0);
    ::dup2(devNull, 1);
    ::dup2(devNull, 2);
    // Xvfb picks a free display number and writes it to this descriptor once
    // it accepts connections.
    const std::string fd = std::to_string(fds[1]);
    ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  if (pid_ < 0) {
    ::close(fds[0]);
    return;
  }
  std::string number;
  const auto deadline = SteadyClock::now() + kXvfbStartBound;
  while (SteadyClock::now() < deadline) {
    pollfd entry{fds[0], POLLIN, 0};
    if (::poll(&entry, 1, 200) <= 0) continue;
    char buffer[32];
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    number.append(buffer, static_cast<std::size_t>(n));
    if (number.find('\n') != std::string::npos) {
      number.erase(number.find('\n'));
      name_ = ":" + number;
      break;
    }
  }
  ::close(fds[0]);
}

XvfbDisplay::~XvfbDisplay() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = SteadyClock::now() + std::chrono::seconds(10);
  while (SteadyClock::now() < deadline) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

std::vector<std::string> XvfbDisplay::environment() const {
  // Mesa's software driver leaves a few allocations behind in a module that
  // is unloaded before the leak check runs, so they cannot be attributed or
  // suppressed by name; leak checking stays on for every text-mode run.
  return {"DISPLAY=" + name_, "LIBGL_ALWAYS_SOFTWARE=1", "ASAN_OPTIONS=detect_leaks=0"};
}

std::optional<std::string> runOnDisplay(const XvfbDisplay& display, const std::string& command) {
  const std::string line = "DISPLAY=" + display.name() + " " + command + " 2>/dev/null";
  FILE* pipe = ::popen(line.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string output;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = ::pclose(pipe);
  if (status != 0) return std::nullopt;
  return output;
}

std::optional<std::string> findWindow(const XvfbDisplay& display, const std::string& title) {
  const std::optional<std::string> tree = runOnDisplay(display, "xwininfo -root -tree");
  if (!tree) return std::nullopt;
  std::istringstream lines(*tree);
  std::string line;
  const std::string quoted = "\"" + title + "\":";
  while (std::getline(lines, line)) {
    const std::size_t at = line.find(quoted);
    if (at == std::string::npos) continue;
    const std::size_t start = line.find("0x");
    if (start == std::string::npos || start > at) continue;
    return line.substr(start, line.find(' ', start) - start);
  }
  return std::nullopt;
}

std::optional<std::string> waitForWindow(const XvfbDisplay& display, const std::string& title,
                                         std::chrono::milliseconds bound) {
  const auto deadline = SteadyClock::now() + bound;
  while (SteadyClock::now() < deadline) {
    if (auto window = findWindow(display, title)) return window;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return std::nullopt;
}

bool anyWindowNamed(const XvfbDisplay& display, const std::string& text) {
  const std::optional<std::string> tree = runOnDisplay(display, "xwininfo -root -tree");
  return tree && tree->find(text) != std::string::npos;
}

bool pressKeys(const XvfbDisplay& display, const std::string& window, const std::string& keys) {
  return runOnDisplay(display, "xdotool key --window " + window + " " + keys).has_value();
}

bool pressKeyDown(const XvfbDisplay& display, const std::string& window, const std::string& key) {
  return runOnDisplay(display, "xdotool keydown --window " + window + " " + key).has_value();
}

std::optional<Screenshot> Screenshot::capture(const XvfbDisplay& display, const std::string& window,
                                              const std::string& keepPngAs) {
  // Without a window manager freeglut's window sits partly off the screen,
  // and grabbing the window alone would crop it; so the whole screen is
  // grabbed and the window's pixels are addressed through its position.
  const std::optional<std::string> info = runOnDisplay(display, "xwininfo -id " + window);
  if (!info) return std::nullopt;
  Screenshot shot;
  shot.left_ = fieldAfter(*info, "Absolute upper-left X:");
  shot.top_ = fieldAfter(*info, "Absolute upper-left Y:");
  shot.width_ = fieldAfter(*info, "Width:");
  shot.height_ = fieldAfter(*info, "Height:");

  char pattern[] = "/tmp/rover_view_shot_XXXXXX.ppm";
  const int fd = ::mkstemps(pattern, 4);
  if (fd < 0) return std::nullopt;
  ::close(fd);
  const std::string path = pattern;
  const bool captured =
      runOnDisplay(display, "import -window root -depth 8 ppm:" + shellQuote(path)).has_value() &&
      (keepPngAs.empty() ||
       std::system(("convert ppm:" + shellQuote(path) + " png:" + shellQuote(keepPngAs)).c_str()) == 0);
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ::unlink(path.c_str());
  if (!captured) return std::nullopt;

  // Binary PPM: "P6", width, height, maximum value, one white-space byte, pixels.
  std::istringstream header(bytes);
  std::string magic;
  int maximum = 0;
  header >> magic >> shot.screenWidth_ >> shot.screenHeight_ >> maximum;
  if (magic != "P6" || shot.screenWidth_ <= 0 || shot.screenHeight_ <= 0 || maximum != 255)
    return std::nullopt;
  const std::size_t offset = static_cast<std::size_t>(header.tellg()) + 1;
  const std::size_t size =
      static_cast<std::size_t>(shot.screenWidth_) * static_cast<std::size_t>(shot.screenHeight_) * 3;
  if (bytes.size() < offset + size) return std::nullopt;
  shot.rgb_.assign(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                   bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
  return shot;
}

Rgb Screenshot::at(int x, int y) const {
  const int screenX = left_ + x;
  const int screenY = top_ + y;
  if (x < 0 || y < 0 || x >= width_ || y >= height_ || screenX < 0 || screenY < 0 ||
      screenX >= screenWidth_ || screenY >= screenHeight_) {
    return Rgb{-1000, -1000, -1000};  // matches no colour
  }
  const std::size_t index = (static_cast<std::size_t>(screenY) * static_cast<std::size_t>(screenWidth_) +
                             static_cast<std::size_t>(screenX)) *
                            3;
  return Rgb{rgb_[index], rgb_[index + 1], rgb_[index + 2]};
}

bool Screenshot::contains(int x0, int y0, int x1, int y1, Rgb colour, int tolerance) const {
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      if (near(at(x, y), colour, tolerance)) return true;
    }
  }
  return false;
}

bool near(Rgb actual, Rgb expected, int tolerance) {
  return std::abs(actual.red - expected.red) <= tolerance &&
         std::abs(actual.green - expected.green) <= tolerance &&
         std::abs(actual.blue - expected.blue) <= tolerance;
}

}  // namespace rover::testing
