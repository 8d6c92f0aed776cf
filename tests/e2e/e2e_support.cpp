#include "e2e_support.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace rover::e2e {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

namespace {

// Shortest text that reads back as the same double.
std::string number(double value) {
  if (value == 0.0 && std::signbit(value)) return "-0.0";
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string paramsJson(const ParamsDesc& p) {
  return "{\"maxSpeed\": " + number(p.maxSpeed) + ", \"accel\": " + number(p.accel) +
         ", \"brake\": " + number(p.brake) + ", \"turn\": " + number(p.turn) +
         ", \"hardTurn\": " + number(p.hardTurn) + ", \"rotAccel\": " + number(p.rotAccel) +
         ", \"frontView\": " + number(p.frontView) + ", \"rearView\": " + number(p.rearView) + "}";
}

std::string circlesJson(const std::vector<CircleDesc>& circles) {
  std::string text = "[";
  for (std::size_t i = 0; i < circles.size(); ++i) {
    if (i > 0) text += ", ";
    text += "{\"x\": " + number(circles[i].x) + ", \"y\": " + number(circles[i].y) +
            ", \"r\": " + number(circles[i].r) + "}";
  }
  return text + "]";
}

std::string runJson(const RunDesc& run) {
  std::string text = "{\"vehicle\": {\"x\": " + number(run.x) + ", \"y\": " + number(run.y) +
                     ", \"dir\": " + number(run.dir) + "}, \"enemies\": [";
  for (std::size_t i = 0; i < run.enemies.size(); ++i) {
    const EnemyDesc& e = run.enemies[i];
    if (i > 0) text += ", ";
    text += "{\"x\": " + number(e.x) + ", \"y\": " + number(e.y) + ", \"dir\": " + number(e.dir) +
            ", \"speed\": " + number(e.speed) + ", \"view\": " + number(e.view) + "}";
  }
  return text + "]}";
}

}  // namespace

std::string MapDesc::json() const {
  std::string text = "{\n  \"size\": " + size + ",\n  \"timeLimit\": " + timeLimit +
                     ",\n  \"vehicleParams\": " + paramsJson(vehicle) +
                     ",\n  \"martianParams\": " + paramsJson(martian) +
                     ",\n  \"craters\": " + circlesJson(craters) +
                     ",\n  \"boulders\": " + circlesJson(boulders) + ",\n  \"runs\": [";
  for (std::size_t i = 0; i < runs.size(); ++i) text += (i > 0 ? ",\n    " : "\n    ") + runJson(runs[i]);
  return text + "\n  ]\n}\n";
}

MapDesc quickMap() {
  MapDesc map;
  map.runs = {{1, -2, -90, {}}};
  return map;
}

MapDesc bumpyMap() {
  MapDesc map;
  map.timeLimit = "3000";
  map.boulders = {{15, 10, 2}};
  map.craters = {{-20, -20, 3}};
  map.runs = {{25, 10, 180, {{-10, 10, 0, 1, 5}, {10, -15, 90, 2, 30}}}, {-25, 0, 0, {{0, 20, -90, 1.5, 10}}}};
  return map;
}

Ending runWithoutClient(const std::vector<std::string>& args) {
  ChildProcess server(testing::serverPath(), args);
  Ending ending;
  ending.status = server.waitForExit();
  ending.out = server.stdoutText();
  ending.err = server.stderrText();
  return ending;
}

Session::Session(const std::string& mapText, bool connectNow, const std::vector<std::string>& extraArgs)
    : map_(mapText), port_(testing::freePort()) {
  std::vector<std::string> args = {"-p", std::to_string(port_)};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  args.push_back(map_.path());
  server_ = std::make_unique<ChildProcess>(testing::serverPath(), args);
  if (connectNow) connect();
}

bool Session::connect() {
  if (!server_->waitForOutput(waitingLine())) return false;
  client_ = std::make_unique<Client>(port_);
  return client_->connected();
}

std::string Session::waitingLine() const {
  return "waiting for client connection on port " + std::to_string(port_) + "\n";
}

Ending Session::finish() {
  if (client_ && client_->connected()) client_->readToEnd();
  Ending ending;
  ending.status = server_->waitForExit();
  ending.out = server_->stdoutText();
  ending.err = server_->stderrText();
  return ending;
}

Played playAnswering(const std::string& mapText, const std::function<std::string(int k)>& reply,
                     const std::vector<std::string>& args, int runs, bool closeAtLastEnd) {
  Session session(mapText, true, args);
  std::size_t seen = 0;
  int telemetry = 0;
  int ends = 0;
  while (ends < runs && session.client().readMore()) {
    const std::vector<Message> messages = parseMessages(session.client().received());
    for (; seen < messages.size(); ++seen) {
      if (messages[seen].letter == "T") session.client().send(reply(++telemetry));
      if (messages[seen].letter == "E") ++ends;
    }
  }
  if (closeAtLastEnd) session.client().close();
  Played played;
  played.ending = session.finish();
  played.stream = session.client().received();
  return played;
}

std::vector<Message> parseMessages(const std::string& stream) {
  std::vector<Message> messages;
  for (const std::string& text : testing::splitMessages(stream)) {
    Message message;
    message.text = text;
    std::istringstream words(text.substr(0, text.size() - 1));
    words >> message.letter;
    std::string field;
    while (words >> field) message.fields.push_back(field);
    messages.push_back(message);
  }
  return messages;
}

Telemetry telemetryOf(const Message& message) {
  Telemetry t{};
  const std::vector<std::string>& f = message.fields;
  if (message.letter != "T" || f.size() < 6) return Telemetry{-1, "", "", "", "", "", {}};
  t.stamp = std::stol(f[0]);
  t.control = f[1];
  t.x = f[2];
  t.y = f[3];
  t.heading = f[4];
  t.speed = f[5];
  std::size_t i = 6;
  while (i < f.size()) {
    std::size_t count = f[i] == "m" ? 4 : 3;
    std::string entry = f[i];
    for (std::size_t k = 1; k <= count && i + k < f.size(); ++k) entry += " " + f[i + k];
    t.objects.push_back(entry);
    i += count + 1;
  }
  return t;
}

std::vector<std::vector<Message>> splitRuns(const std::vector<Message>& messages) {
  std::vector<std::vector<Message>> runs(1);
  for (const Message& message : messages) {
    if (message.letter == "I") continue;
    runs.back().push_back(message);
    if (message.letter == "E") runs.emplace_back();
  }
  if (runs.back().empty()) runs.pop_back();
  return runs;
}

std::optional<std::size_t> awaitMessage(Client& client, std::size_t from,
                                        const std::function<bool(const Message&)>& accept,
                                        std::chrono::milliseconds bound) {
  auto deadline = std::chrono::steady_clock::now() + bound;
  for (;;) {
    std::vector<Message> messages = parseMessages(client.received());
    for (std::size_t i = from; i < messages.size(); ++i) {
      if (accept(messages[i])) return i;
    }
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !client.readMore(left)) return std::nullopt;
  }
}

std::string fixed(double value, int decimals) {
  char text[512];
  if (value < 0.0) {
    std::snprintf(text, sizeof text, "-%.*f", decimals, -value);
  } else {
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
  }
  return text;
}

StraightDrive::StraightDrive(const ParamsDesc& params, double x, double y, double dir)
    : accel_(params.accel), drag_(params.accel / (params.maxSpeed * params.maxSpeed)), x_(x), y_(y) {
  const double pi = 3.141592653589793;
  const double t = pi * dir / 180;
  dx_ = std::cos(t);
  dy_ = std::sin(t);
}

void StraightDrive::place(double x, double y, double dirX, double dirY, double speed) {
  x_ = x;
  y_ = y;
  dx_ = dirX;
  dy_ = dirY;
  v_ = speed;
}

void StraightDrive::step() {
  const double dt = 0.01;
  double next = (accel_ * dt + v_) - dt * (drag_ * v_ * v_);
  if (std::isnan(next) || next < 0.0) next = 0.0;
  const double distance = (dt * 0.5) * (v_ + next);
  x_ = x_ + dx_ * distance;
  y_ = y_ + dy_ * distance;
  v_ = next;
}

std::optional<int> stepsForSpeed(const ParamsDesc& params, const std::string& speedText, int limit) {
  StraightDrive drive(params, 0, 0, 0);
  for (int n = 0; n <= limit; ++n) {
    if (fixed(drive.speed(), 3) == speedText) return n;
    drive.step();
  }
  return std::nullopt;
}

}  // namespace rover::e2e
