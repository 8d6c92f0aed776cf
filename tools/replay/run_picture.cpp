#include "run_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "base/failure.h"
#include "sim/motion.h"
#include "sim/view_ellipse.h"

namespace rover::replay {

namespace {

struct Point {
  double x = 0, y = 0;
};

struct Pose {
  long long t = 0;
  double x = 0, y = 0, heading = 0, speed = 0;
};

struct Marker {
  long long t = 0;
  std::string kind;  // bounce, crater, killed, home, martian_lost, time_limit
  double x = 0, y = 0;
};

struct RunData {
  double size = 0;
  double maxSpeed = 1;
  ViewEllipse view;
  std::vector<MapObjectEntry> objects;
  std::vector<Pose> path;
  std::map<int, std::vector<Point>> martians;
  std::map<int, Point> martiansAt;  // where each Martian was at --at
  std::vector<Marker> markers;
  std::vector<int> seen, hidden;  // object ids at --at
  std::string outcome = "unfinished";
  std::string score = "-";
  std::string runMs = "-";
};

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", v);
  return text;
}

// Blue when still, through green, to red at top speed.
std::string speedColour(double fraction) {
  const double f = std::clamp(std::isfinite(fraction) ? fraction : 0.0, 0.0, 1.0);
  char text[32];
  std::snprintf(text, sizeof text, "hsl(%d,85%%,45%%)", static_cast<int>(240 * (1 - f)));
  return text;
}

// Text from a record as XML character data or an attribute value: a record
// is a stranger's file, and the picture opens in a browser.
std::string escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

RunData readRun(RecordReader& record, int run, std::optional<long long> at) {
  const MapEntry& map = record.header().map;
  RunData data;
  bool found = false;
  data.size = map.size;
  data.maxSpeed = map.vehicle.p.maxSpeed;
  data.view = makeViewEllipse(map.vehicle.p);
  data.objects = map.objects;
  if (run < 1 || run > static_cast<int>(map.runs.size())) {
    throw Failure(FailureKind::Fail).because("the map has no run " + std::to_string(run));
  }
  const PoseEntry& start = map.runs[static_cast<std::size_t>(run - 1)].vehicle;
  data.path.push_back({0, start.x, start.y, start.heading, 0});
  while (record.next()) {
    std::visit(
        [&](const auto& line) {
          using Line = std::decay_t<decltype(line)>;
          if constexpr (std::is_same_v<Line, RunEndLine>) {
            if (line.run.number != run) return;
            found = true;
            data.outcome = outcomeText(line.run.outcome);
            data.score = line.run.scoreMillis.get_str();
            data.runMs = line.run.runMillis.get_str();
          } else if constexpr (requires { line.at.runTime; }) {
            if (line.at.run != run) return;
            found = true;
            const mpz_class millis = line.at.runTime.wholeMillis();
            if (!millis.fits_slong_p()) return;
            const long long t = millis.get_si();
            if constexpr (std::is_same_v<Line, StepLine>) {
              data.path.push_back({t, line.x, line.y, line.heading, line.speed});
            } else if constexpr (std::is_same_v<Line, MartiansLine>) {
              for (const MartianPose& m : line.m) {
                data.martians[m.index].push_back({m.x, m.y});
                if (at && t <= *at) data.martiansAt[m.index] = {m.x, m.y};
              }
            } else if constexpr (std::is_same_v<Line, EventLine>) {
              data.markers.push_back({t, kEventNames[static_cast<std::size_t>(line.kind)], line.x, line.y});
            } else if constexpr (std::is_same_v<Line, SenseLine>) {
              if (!at || t > *at) return;
              data.seen = line.objects;
              data.hidden = line.occludedObjects;
            }
          }
        },
        record.entry());
  }
  if (!found)
    throw Failure(FailureKind::Fail).because("the record holds nothing of run " + std::to_string(run));
  // A run that ran out of time has no event of its own: mark where it stopped.
  const bool endMarked = std::any_of(data.markers.begin(), data.markers.end(), [](const Marker& m) {
    return m.kind == "home" || m.kind == "crater" || m.kind == "killed";
  });
  if (!endMarked && data.outcome == "time limit exceeded") {
    data.markers.push_back({data.path.back().t, "time_limit", data.path.back().x, data.path.back().y});
  }
  return data;
}

// World to picture: the map square fills the drawing area, +y up.
class Frame {
 public:
  Frame(const RunData& data, double left, double top, double side) : left_(left), top_(top), side_(side) {
    half_ = data.size / 2;
    if (!std::isfinite(half_) || half_ <= 0) {
      // A map without a usable size: frame what was drawn instead.
      half_ = 1;
      for (const Pose& p : data.path) half_ = std::max({half_, std::fabs(p.x), std::fabs(p.y)});
      half_ *= 1.1;
    }
  }
  double x(double wx) const { return left_ + (wx + half_) / (2 * half_) * side_; }
  double y(double wy) const { return top_ + (half_ - wy) / (2 * half_) * side_; }
  double length(double w) const { return w / (2 * half_) * side_; }
  double half() const { return half_; }

 private:
  double left_, top_, side_, half_ = 1;
};

bool listed(const std::vector<int>& ids, int id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

std::string drawRun(RecordReader& record, int run, std::optional<long long> at) {
  RunData data = readRun(record, run, at);
  for (std::string* text : {&data.outcome, &data.score, &data.runMs}) *text = escaped(*text);
  for (MapObjectEntry& object : data.objects) object.kind = escaped(object.kind);
  constexpr double kLeft = 20, kTop = 60, kSide = 800, kWidth = 1060, kHeight = 910;
  const Frame f(data, kLeft, kTop, kSide);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(kWidth) + "\" height=\"" +
         number(kHeight) + "\" viewBox=\"0 0 " + number(kWidth) + " " + number(kHeight) +
         "\" font-family=\"DejaVu Sans, sans-serif\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#1b1b1f\"/>\n";
  svg += "<title>Run " + std::to_string(run) + ": " + data.outcome + "</title>\n";
  svg += "<text id=\"title\" x=\"20\" y=\"36\" font-size=\"22\" fill=\"#f0f0f0\">Run " + std::to_string(run) +
         ": " + data.outcome + "; score = " + data.score + "; time = " + data.runMs + " ms" +
         (at ? "; view at " + std::to_string(*at) + " ms" : "") + "</text>\n";

  // Terrain and objects.
  svg += "<rect id=\"terrain\" x=\"" + number(f.x(-f.half())) + "\" y=\"" + number(f.y(f.half())) +
         "\" width=\"" + number(kSide) + "\" height=\"" + number(kSide) + "\" fill=\"#c8c3b4\"/>\n";
  for (std::size_t id = 0; id < data.objects.size(); ++id) {
    const MapObjectEntry& c = data.objects[id];
    if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(c.r)) continue;
    const char* fill = c.kind == "home" ? "#37b24d" : (c.kind == "crater" ? "#7a4a1c" : "#6b6b6b");
    std::string extra;
    if (at && listed(data.seen, static_cast<int>(id))) extra = " stroke=\"#ffd43b\" stroke-width=\"3\"";
    if (at && listed(data.hidden, static_cast<int>(id))) {
      extra = " stroke=\"#e64980\" stroke-width=\"2\" stroke-dasharray=\"5,3\"";
    }
    svg += "<circle class=\"" + c.kind + "\" cx=\"" + number(f.x(c.x)) + "\" cy=\"" + number(f.y(c.y)) +
           "\" r=\"" + number(f.length(std::fabs(c.r))) + "\" fill=\"" + fill + "\"" + extra + "/>\n";
  }

  // The view ellipse at --at, under the paths.
  if (at) {
    Pose pose = data.path.front();
    for (const Pose& p : data.path) {
      if (p.t <= *at) pose = p;
    }
    // Where sensing puts it: the rover's position plus its direction times the offset.
    const MotionState rover = startMotionState(pose.x, pose.y, pose.heading, 0);
    const double cx = rover.position.x + rover.direction.x * data.view.offset;
    const double cy = rover.position.y + rover.direction.y * data.view.offset;
    const double major = data.view.major, minor = data.view.minor;
    if (std::isfinite(cx) && std::isfinite(cy) && std::isfinite(major) && std::isfinite(minor)) {
      svg += "<ellipse id=\"view\" cx=\"" + number(f.x(cx)) + "\" cy=\"" + number(f.y(cy)) + "\" rx=\"" +
             number(f.length(major)) + "\" ry=\"" + number(f.length(minor)) + "\" transform=\"rotate(" +
             number(-pose.heading) + " " + number(f.x(cx)) + " " + number(f.y(cy)) +
             ")\" fill=\"#ffffff\" fill-opacity=\"0.25\" stroke=\"#ffffff\" stroke-width=\"1.5\"/>\n";
    }
    svg += "<circle id=\"rover-at\" cx=\"" + number(f.x(pose.x)) + "\" cy=\"" + number(f.y(pose.y)) +
           "\" r=\"6\" fill=\"#ffffff\" stroke=\"#000\"/>\n";
    for (const auto& [index, p] : data.martiansAt) {
      svg += "<circle class=\"martian-at\" cx=\"" + number(f.x(p.x)) + "\" cy=\"" + number(f.y(p.y)) +
             "\" r=\"5\" fill=\"#fa5252\" stroke=\"#fff\"/>\n";
    }
  }

  // The Martians' paths, then the rover's, a segment per 50 ms coloured by speed.
  for (const auto& [index, points] : data.martians) {
    std::string d;
    for (const Point& p : points) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
      d += (d.empty() ? "M" : " L") + number(f.x(p.x)) + " " + number(f.y(p.y));
    }
    if (!d.empty()) {
      svg += "<path class=\"martian-path\" d=\"" + d +
             "\" fill=\"none\" stroke=\"#fa5252\" stroke-width=\"1.5\" stroke-dasharray=\"4,3\"/>\n";
    }
  }
  svg += "<g id=\"rover-path\" fill=\"none\" stroke-width=\"3\" stroke-linecap=\"round\">\n";
  for (std::size_t i = 5; i < data.path.size() + 4; i += 5) {
    const Pose& from = data.path[i - 5];
    const Pose& to = data.path[std::min(i, data.path.size() - 1)];
    if (!std::isfinite(from.x + from.y + to.x + to.y)) continue;
    svg += "<line x1=\"" + number(f.x(from.x)) + "\" y1=\"" + number(f.y(from.y)) + "\" x2=\"" +
           number(f.x(to.x)) + "\" y2=\"" + number(f.y(to.y)) + "\" stroke=\"" +
           speedColour(to.speed / data.maxSpeed) + "\"/>\n";
  }
  svg += "</g>\n";

  // Markers: a ring for a bounce, a cross for the run's end.
  for (const Marker& m : data.markers) {
    if (!std::isfinite(m.x) || !std::isfinite(m.y)) continue;
    const std::string x = number(f.x(m.x)), y = number(f.y(m.y));
    if (m.kind == "bounce") {
      svg += "<circle class=\"bounce\" cx=\"" + x + "\" cy=\"" + y +
             "\" r=\"7\" fill=\"none\" stroke=\"#fd7e14\" stroke-width=\"2.5\"/>\n";
    } else {
      const std::string colour =
          m.kind == "home"
              ? "#51cf66"
              : (m.kind == "time_limit" ? "#f8f9fa" : (m.kind == "martian_lost" ? "#fa5252" : "#ff6b6b"));
      svg += "<g class=\"end " + m.kind + "\" stroke=\"" + colour + "\" stroke-width=\"3.5\"><line x1=\"" +
             number(f.x(m.x) - 8) + "\" y1=\"" + number(f.y(m.y) - 8) + "\" x2=\"" + number(f.x(m.x) + 8) +
             "\" y2=\"" + number(f.y(m.y) + 8) + "\"/><line x1=\"" + number(f.x(m.x) - 8) + "\" y1=\"" +
             number(f.y(m.y) + 8) + "\" x2=\"" + number(f.x(m.x) + 8) + "\" y2=\"" + number(f.y(m.y) - 8) +
             "\"/></g>\n";
    }
  }
  // The start.
  svg += "<circle id=\"start\" cx=\"" + number(f.x(data.path.front().x)) + "\" cy=\"" +
         number(f.y(data.path.front().y)) + "\" r=\"5\" fill=\"#4dabf7\" stroke=\"#fff\"/>\n";

  // Legend and scale bar.
  std::string legend = "<g id=\"legend\" font-size=\"14\" fill=\"#f0f0f0\">\n";
  double y = kTop + 10;
  auto item = [&](const std::string& swatch, const std::string& label) {
    legend += "<g transform=\"translate(840," + number(y) + ")\">" + swatch + "<text x=\"30\" y=\"5\">" +
              label + "</text></g>\n";
    y += 28;
  };
  item("<circle r=\"9\" fill=\"#37b24d\"/>", "home");
  item("<circle r=\"9\" fill=\"#7a4a1c\"/>", "crater");
  item("<circle r=\"9\" fill=\"#6b6b6b\"/>", "boulder");
  item("<circle r=\"5\" fill=\"#4dabf7\" stroke=\"#fff\"/>", "rover start");
  item("<line x1=\"-10\" x2=\"10\" stroke=\"#fa5252\" stroke-width=\"2\" stroke-dasharray=\"4,3\"/>",
       "Martian path");
  item("<circle r=\"7\" fill=\"none\" stroke=\"#fd7e14\" stroke-width=\"2.5\"/>", "bounce");
  item(
      "<g stroke=\"#ff6b6b\" stroke-width=\"3\"><line x1=\"-7\" y1=\"-7\" x2=\"7\" y2=\"7\"/><line x1=\"-7\" "
      "y1=\"7\" "
      "x2=\"7\" y2=\"-7\"/></g>",
      "end of run");
  if (at) {
    item("<circle r=\"9\" fill=\"none\" stroke=\"#ffd43b\" stroke-width=\"3\"/>",
         "seen at " + std::to_string(*at) + " ms");
    item("<circle r=\"9\" fill=\"none\" stroke=\"#e64980\" stroke-width=\"2\" stroke-dasharray=\"5,3\"/>",
         "in view, hidden");
  }
  y += 10;
  legend += "<text x=\"840\" y=\"" + number(y) + "\">rover speed</text>\n";
  y += 12;
  for (int i = 0; i < 10; ++i) {
    legend += "<rect x=\"" + number(840 + i * 18) + "\" y=\"" + number(y) +
              "\" width=\"18\" height=\"12\" fill=\"" + speedColour(i / 9.0) + "\"/>\n";
  }
  legend += "<text x=\"840\" y=\"" + number(y + 28) + "\" font-size=\"12\">0</text><text x=\"1020\" y=\"" +
            number(y + 28) + "\" font-size=\"12\" text-anchor=\"end\">" + number(data.maxSpeed) + "</text>\n";
  // A scale bar of a round length near a fifth of the map.
  const double target = 2 * f.half() / 5;
  double bar = std::pow(10.0, std::floor(std::log10(target)));
  if (bar * 5 <= target) {
    bar *= 5;
  } else if (bar * 2 <= target) {
    bar *= 2;
  }
  const double barY = kTop + kSide + 10;
  svg += "<g id=\"scale\" stroke=\"#f0f0f0\" stroke-width=\"2\"><line x1=\"" + number(kLeft) + "\" y1=\"" +
         number(barY) + "\" x2=\"" + number(kLeft + f.length(bar)) + "\" y2=\"" + number(barY) +
         "\"/></g><text x=\"" + number(kLeft) + "\" y=\"" + number(barY + 8) +
         "\" font-size=\"13\" fill=\"#f0f0f0\" dy=\"10\">" + number(bar) + " map units</text>\n";
  svg += legend + "</g>\n</svg>\n";
  return svg;
}

}  // namespace rover::replay
