// The server in window mode ("-v"), end to end: a private Xvfb display, the
// real binary, a real client on loopback, and the window seen through the X
// tools (xwininfo, xdotool, import).
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "server_process.h"
#include "x_display.h"

namespace rover::testing {
namespace {

constexpr const char* kTitlePrefix = "Low-res Sample Server (1.1) -- ";
constexpr Rgb kMapGrey{191, 191, 191};
constexpr Rgb kHomeGreen{0, 255, 0};
constexpr Rgb kCraterBrown{128, 64, 0};
constexpr Rgb kBoulderGrey{102, 102, 102};
constexpr Rgb kRoverGreen{64, 128, 0};
constexpr Rgb kViewWhite{255, 255, 255};
constexpr Rgb kTextBlue{0, 204, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr int kTolerance = 2;

std::string params(int frontView, int rearView) {
  return R"({"maxSpeed": 10, "accel": 2, "brake": 4, "turn": 20, "hardTurn": 60, "rotAccel": 120, "frontView": )" +
         std::to_string(frontView) + R"(, "rearView": )" + std::to_string(rearView) + "}";
}

// Side 100 drawn into 600 pixels: 6 pixels per unit. The rover rests at
// (-30, 30) facing +x; home at the origin, a crater at (30, -30) radius 5,
// a boulder at (-30, -30) radius 4. The time limit is far away.
std::string pictureMap() {
  return R"({"size": 100, "timeLimit": 60000, "vehicleParams": )" + params(10, 5) + R"(, "martianParams": )" +
         params(10, 5) +
         R"(, "craters": [{"x": 30, "y": -30, "r": 5}], "boulders": [{"x": -30, "y": -30, "r": 4}],
  "runs": [{"vehicle": {"x": -30, "y": 30, "dir": 0}, "enemies": []}]})";
}

// Runs whose rover starts inside the home base end at the first physics step,
// so each run costs little more than the one-second pause before it.
std::string homeRunsMap(int runs) {
  std::string list;
  for (int i = 0; i < runs; ++i) {
    if (i > 0) list += ", ";
    list += R"({"vehicle": {"x": 0, "y": 0, "dir": 0}, "enemies": []})";
  }
  return R"({"size": 100, "timeLimit": 60000, "vehicleParams": )" + params(10, 5) + R"(, "martianParams": )" +
         params(10, 5) + R"(, "craters": [], "boulders": [], "runs": [)" + list + "]}";
}

// Map position to window pixel (OpenGL coordinates: origin bottom-left):
// the 600-pixel map viewport starts at (2, 2) and shows -50..50.
int pixelOf(double world) {
  return 2 + static_cast<int>((world + 50.0) * 6.0);
}

// A directory holding a map file whose path has a space, a non-ASCII letter
// and a "./" in it,
// so the title shows whether the path is copied as typed.
class MapDirectory {
 public:
  explicit MapDirectory(const std::string& contents) {
    char pattern[] = "/tmp/rover_view_map_XXXXXX";
    dir_ = ::mkdtemp(pattern);
    path_ = dir_ + "/./my map \xc3\xa9.json";
    std::ofstream(path_, std::ios::binary) << contents;
  }
  ~MapDirectory() {
    ::unlink((dir_ + "/my map \xc3\xa9.json").c_str());
    ::rmdir(dir_.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string dir_;
  std::string path_;
};

std::string waitingLine(int port) {
  return "waiting for client connection on port " + std::to_string(port) + "\n";
}

std::size_t countEndMessages(const std::string& stream) {
  std::size_t count = 0;
  for (std::size_t at = stream.find("E "); at != std::string::npos; at = stream.find("E ", at + 1)) ++count;
  return count;
}

// Reads until the stream holds `count` end-of-run messages; false when it
// ends first or the bound passes.
bool readEndMessages(Client& client, std::size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + kExitBound;
  while (countEndMessages(client.received()) < count) {
    if (client.peerClosed() || std::chrono::steady_clock::now() >= deadline) return false;
    // A byte the server never sends: this only collects what arrives meanwhile.
    client.readUntil(std::string(1, '\x01'), 200ms);
  }
  return true;
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class WindowModeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(display_.ready()) << "Xvfb did not start (is it installed?)"; }

  // Starts "server -v -p <port> <map>" on the private display and waits for its waiting line.
  void startServer(const std::string& mapPath, const std::vector<std::string>& extra = {}) {
    port_ = freePort();
    std::vector<std::string> args{"-v", "-p", std::to_string(port_)};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(mapPath);
    server_ = std::make_unique<ChildProcess>(serverPath(), args, display_.environment());
    ASSERT_TRUE(server_->waitForOutput(waitingLine(port_))) << server_->stderrText();
  }

  // Connects the client and waits for the window with the map path in its title.
  void connectAndFindWindow(const std::string& mapPath) {
    client_ = std::make_unique<Client>(port_);
    ASSERT_TRUE(client_->connected());
    std::optional<std::string> window = waitForWindow(display_, kTitlePrefix + mapPath, kStartBound);
    ASSERT_TRUE(window.has_value()) << "no window titled for " << mapPath << "\n" << server_->stderrText();
    window_ = *window;
  }

  // Captures frames until one satisfies the check (the first frames may come
  // before the run starts); returns the last frame captured.
  template <typename Check>
  std::optional<Screenshot> waitForFrame(Check check, const std::string& keepPngAs = "") {
    const auto deadline = std::chrono::steady_clock::now() + kStartBound;
    std::optional<Screenshot> shot;
    while (std::chrono::steady_clock::now() < deadline) {
      shot = Screenshot::capture(display_, window_, keepPngAs);
      if (shot && check(*shot)) return shot;
      std::this_thread::sleep_for(100ms);
    }
    return shot;
  }

  XvfbDisplay display_;
  int port_ = 0;
  std::unique_ptr<ChildProcess> server_;
  std::unique_ptr<Client> client_;
  std::string window_;
};

TEST_F(WindowModeTest, WindowOpensAfterTheClientAndShowsTheWorld) {
  MapDirectory map(pictureMap());
  startServer(map.path());
  EXPECT_FALSE(anyWindowNamed(display_, "Low-res Sample Server")) << "a window exists before the client";
  connectAndFindWindow(map.path());

  const int homeX = pixelOf(0.0);
  const int homeY = pixelOf(0.0);
  const char* keep = std::getenv("ROVER_VIEW_SCREENSHOT");
  std::optional<Screenshot> shot =
      waitForFrame([&](const Screenshot& s) { return near(s.atGl(homeX, homeY), kHomeGreen, kTolerance); },
                   keep ? keep : "");
  ASSERT_TRUE(shot.has_value());
  ASSERT_EQ(shot->width(), 854);
  ASSERT_EQ(shot->height(), 604);

  struct Probe {
    const char* what;
    int x;
    int glY;
    Rgb colour;
  };
  const Probe probes[] = {
      {"home base", homeX, homeY, kHomeGreen},
      {"crater", pixelOf(30.0), pixelOf(-30.0), kCraterBrown},
      {"boulder", pixelOf(-30.0), pixelOf(-30.0), kBoulderGrey},
      {"map square", pixelOf(0.0), pixelOf(-40.0), kMapGrey},
      {"first pixel of the map viewport", 2, 2, kMapGrey},
      {"last pixel of the map viewport", 601, 601, kMapGrey},
      {"rover", pixelOf(-30.0), pixelOf(30.0), kRoverGreen},
      {"view region ahead of the rover", pixelOf(-25.0), pixelOf(30.0), kViewWhite},
      {"view region behind the rover", pixelOf(-33.0), pixelOf(30.0), kViewWhite},
      {"outside the view region", pixelOf(-30.0), pixelOf(40.0), kMapGrey},
      {"border left of the map", 1, 300, kBlack},
      {"border below the map", 300, 1, kBlack},
      {"border right of the map", 602, 300, kBlack},
      {"column below the text", 700, 100, kBlack},
  };
  for (const Probe& probe : probes) {
    const Rgb seen = shot->atGl(probe.x, probe.glY);
    EXPECT_TRUE(near(seen, probe.colour, kTolerance))
        << probe.what << " at (" << probe.x << ", " << probe.glY << ") is " << seen.red << "," << seen.green
        << "," << seen.blue;
  }
  // The line of the run in play, in the column right of the map, near the top.
  EXPECT_TRUE(shot->contains(605, 0, 854, 30, kTextBlue, kTolerance));
  EXPECT_FALSE(shot->contains(0, 0, 604, 604, kTextBlue, kTolerance)) << "text colour inside the map";

  ASSERT_TRUE(pressKeyDown(display_, window_, "q"));
  EXPECT_EQ(server_->waitForExit(), 0);
  EXPECT_TRUE(client_->readToEnd());
  EXPECT_EQ(client_->received().find("E "), std::string::npos) << "no end-of-run message after q";
  EXPECT_EQ(server_->stdoutText(), waitingLine(port_));
  EXPECT_EQ(server_->stderrText(), "");
}

// A status line whose text is drawn in the band of line `index` (counted
// from 0 at the top; 12 pixels per line, the first baseline 12 pixels below
// the top of the window).
bool statusLineDrawn(const Screenshot& shot, int index) {
  const int baselineRow = 603 - (592 - 12 * index);
  return shot.contains(605, baselineRow - 9, 854, baselineRow + 3, kTextBlue, kTolerance);
}

TEST_F(WindowModeTest, ThreeRunsPrintOnlyResultLinesAndTheWindowStaysAfterTheLast) {
  TempFile map(homeRunsMap(3));
  TempFile results("", ".results.json");
  startServer(map.path(), {"--results", results.path()});
  connectAndFindWindow(map.path());

  // The third end-of-run message: every run is over.
  ASSERT_TRUE(readEndMessages(*client_, 3)) << server_->stderrText();

  // After the last run the window stays and shows three results and no run in play.
  std::optional<Screenshot> shot = waitForFrame([](const Screenshot& s) { return statusLineDrawn(s, 2); });
  ASSERT_TRUE(shot.has_value()) << "window gone after the last run";
  EXPECT_TRUE(statusLineDrawn(*shot, 0));
  EXPECT_TRUE(statusLineDrawn(*shot, 1));
  EXPECT_TRUE(statusLineDrawn(*shot, 2));
  EXPECT_FALSE(statusLineDrawn(*shot, 3));
  EXPECT_TRUE(server_->running());
  EXPECT_FALSE(client_->peerClosed());

  // Nothing reads commands after the last run; "q" must still end the
  // connection in order rather than with a reset.
  client_->send("a;l;");
  ASSERT_TRUE(pressKeyDown(display_, window_, "q"));
  EXPECT_EQ(server_->waitForExit(), 0);
  EXPECT_TRUE(client_->readToEnd());
  EXPECT_FALSE(client_->closedByReset());
  EXPECT_EQ(server_->stdoutText(), waitingLine(port_) +
                                       "Round 1: reached home; score = 10\n"
                                       "Round 2: reached home; score = 10\n"
                                       "Round 3: reached home; score = 10\n");
  // "q" ends the game as quit, with every run in the results.
  const std::string document = readText(results.path());
  EXPECT_NE(document.find("\"status\": \"quit\""), std::string::npos) << document;
  EXPECT_NE(document.find("\"total_score\": 30"), std::string::npos) << document;
}

TEST_F(WindowModeTest, CapitalQAndOtherKeysOnlyRedraw) {
  TempFile map(homeRunsMap(1));
  startServer(map.path());
  connectAndFindWindow(map.path());
  ASSERT_TRUE(client_->readUntil("I ", kStartBound));

  // The run starts a second after the initialization message and ends at
  // once; keys pressed before then must not end the server.
  ASSERT_TRUE(pressKeys(display_, window_, "Q x space Escape"));
  ASSERT_TRUE(client_->readUntil("E ", kExitBound)) << server_->stderrText();
  EXPECT_TRUE(server_->running());

  ASSERT_TRUE(pressKeyDown(display_, window_, "q"));
  EXPECT_EQ(server_->waitForExit(), 0);
  EXPECT_EQ(server_->stdoutText(), waitingLine(port_) + "Round 1: reached home; score = 10\n");
}

TEST_F(WindowModeTest, ClientClosingDuringARunEndsThroughTheCallbackPath) {
  TempFile map(pictureMap());
  TempFile results("", ".results.json");
  startServer(map.path(), {"--results", results.path()});
  connectAndFindWindow(map.path());
  ASSERT_TRUE(client_->readUntil("T ", kStartBound));  // the run is in play
  client_->close();

  EXPECT_EQ(server_->waitForExit(), 1);
  const std::string err = server_->stderrText();
  const std::string fixedLine = "error: failure escaped a window callback\n";
  ASSERT_EQ(err.substr(0, fixedLine.size()), fixedLine) << err;
  const std::string second = err.substr(fixedLine.size());
  EXPECT_EQ(second.rfind("unhandled exception: ", 0), 0u) << err;
  EXPECT_EQ(second.find('\n'), second.size() - 1) << "exactly two lines: " << err;
  EXPECT_EQ(server_->stdoutText(), waitingLine(port_));
  // The results file names the failure by the line the server printed.
  const std::string document = readText(results.path());
  EXPECT_NE(document.find("\"status\": \"failed\""), std::string::npos) << document;
  EXPECT_NE(document.find("\"line\": \"" + second.substr(0, second.size() - 1) + "\""), std::string::npos)
      << document;
  EXPECT_NE(document.find("\"message\": \"EOF\""), std::string::npos) << document;
}

// --verbose explains a failure on the callback path too, after its two lines.
TEST_F(WindowModeTest, VerboseExplainsACallbackFailure) {
  TempFile map(pictureMap());
  startServer(map.path(), {"--verbose"});
  connectAndFindWindow(map.path());
  ASSERT_TRUE(client_->readUntil("T ", kStartBound));
  client_->send("\x7f;");

  EXPECT_EQ(server_->waitForExit(), 1);
  EXPECT_EQ(
      server_->stderrText(),
      "error: failure escaped a window callback\n"
      "unhandled exception: Fail: illegal command \"\x7f\"\n"
      "server: illegal command \"\\x7f\": the commands are a, b, l, r, al, ar, bl and br, each ended by "
      "';'\n");
  EXPECT_EQ(server_->stdoutText(), waitingLine(port_));
}

TEST(WindowModeWithoutDisplay, FailsBeforeReadingTheMap) {
  // The map does not exist: a start-up that read it first would report "Io".
  // glibc's putenv removes a variable given without "=".
  ChildProcess server(serverPath(), {"-v", "-p", std::to_string(freePort()), "/nonexistent/rover map.json"},
                      {"DISPLAY"});
  EXPECT_EQ(server.waitForExit(), 1);
  EXPECT_NE(server.stderrText().find("failed to open display"), std::string::npos) << server.stderrText();
  EXPECT_EQ(server.stderrText().find("uncaught exception"), std::string::npos) << server.stderrText();
  EXPECT_EQ(server.stdoutText(), "");
}

}  // namespace
}  // namespace rover::testing
