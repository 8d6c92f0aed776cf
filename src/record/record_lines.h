#pragma once

#include <gmpxx.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "driver/game_ending.h"
#include "driver/game_listener.h"
#include "driver/game_setup.h"
#include "map/map_spec.h"

namespace rover {

// The one definition of every line of a game record (docs/record-format.md):
// each line type lists its members in order, with their types and, for reals,
// their decimals (kShortest: the shortest text that reads back; 3 or 1: the
// wire's text). The writer (record/line_writer.h) and the reader
// (record/line_reader.h) both walk these lists, so the two cannot disagree.
//
// A line's fields(f) calls, in member order:
//   f.field(name, v)       v: an integer (also mpz_class), bool, std::string,
//                          std::optional<T> (null when empty), std::vector<T>
//                          (an array) or a struct with fields() (an object)
//   f.optional(name, v)    v: std::optional<T>, the member left out when empty
//   f.real(name, x, d)     f.choice(name, e, names)   f.hex(name, u64)
//   f.stamp(run, t)        "run" and "t" (whole milliseconds)
//   f.outcome(o)           "outcome" (its text) and "code" (its number)
//   f.tuples(name, v)      an array of arrays, each the fields of one entry
//   f.object(name, fn)     a nested object whose fields fn(f) lists

inline constexpr int kShortest = -1;
inline constexpr const char* kRecordFormat = "rover-record";
inline constexpr int kRecordVersion = 1;

inline constexpr std::array<const char*, 2> kModeNames = {"realtime", "lockstep"};
inline constexpr std::array<const char*, 3> kPhaseNames = {"poll", "drain", "wait"};
inline constexpr std::array<const char*, 3> kStatusNames = {"completed", "quit", "failed"};
enum class EventKind { Bounce, Crater, Killed, Home, MartianLost };
inline constexpr std::array<const char*, 5> kEventNames = {"bounce", "crater", "killed", "home",
                                                           "martian_lost"};

// --- The header's map: the map as loaded ---

struct ParamsEntry {
  VehicleParams p;
  template <class F>
  void fields(F& f) {
    f.real("max_speed", p.maxSpeed, kShortest);
    f.real("accel", p.accel, kShortest);
    f.real("brake", p.brake, kShortest);
    f.real("turn", p.turn, kShortest);
    f.real("hard_turn", p.hardTurn, kShortest);
    f.real("rot_accel", p.rotAccel, kShortest);
    f.real("front_view", p.frontView, kShortest);
    f.real("rear_view", p.rearView, kShortest);
  }
};

struct MapObjectEntry {
  std::string kind;  // "home", "crater" or "boulder"
  double x = 0, y = 0, r = 0;
  template <class F>
  void fields(F& f) {
    f.field("kind", kind);
    f.real("x", x, kShortest);
    f.real("y", y, kShortest);
    f.real("r", r, kShortest);
  }
};

struct PoseEntry {
  double x = 0, y = 0, heading = 0;
  template <class F>
  void fields(F& f) {
    f.real("x", x, kShortest);
    f.real("y", y, kShortest);
    f.real("heading", heading, kShortest);
  }
};

struct EnemyEntry {
  int index = 0;
  PoseEntry pose;
  double speed = 0, view = 0;
  template <class F>
  void fields(F& f) {
    f.field("index", index);
    pose.fields(f);
    f.real("speed", speed, kShortest);
    f.real("view", view, kShortest);
  }
};

struct RunEntry {
  PoseEntry vehicle;
  std::vector<EnemyEntry> enemies;
  template <class F>
  void fields(F& f) {
    f.field("vehicle", vehicle);
    f.field("enemies", enemies);
  }
};

struct MapEntry {
  double size = 0;
  mpz_class timeLimitMillis;
  ParamsEntry vehicle, martian;
  std::vector<MapObjectEntry> objects;
  std::vector<RunEntry> runs;
  template <class F>
  void fields(F& f) {
    f.real("size", size, kShortest);
    f.field("time_limit_ms", timeLimitMillis);
    f.field("vehicle_params", vehicle);
    f.field("martian_params", martian);
    f.field("objects", objects);
    f.field("runs", runs);
  }
};

// The map as the header shows it.
MapEntry mapEntry(const MapSpec& map);

// --- The lines ---

struct HeaderLine {
  static constexpr const char* kType = "header";
  std::string format = kRecordFormat;
  mpz_class version = kRecordVersion;
  std::string server;
  PlayMode mode = PlayMode::RealTime;
  std::uint64_t seed = 0;
  std::optional<std::uint32_t> replyTimeoutMillis;  // null in real time
  std::string mapSha256;
  std::string mapBase64;
  MapEntry map;
  template <class F>
  void fields(F& f) {
    f.field("format", format);
    f.field("version", version);
    f.field("server", server);
    f.choice("mode", mode, kModeNames);
    f.field("seed", seed);
    f.field("reply_timeout_ms", replyTimeoutMillis);
    f.field("map_sha256", mapSha256);
    f.field("map_base64", mapBase64);
    f.field("map", map);
  }
};

struct RunStartLine {
  static constexpr const char* kType = "run_start";
  Stamp at;
  template <class F>
  void fields(F& f) {
    f.stamp(at.run, at.runTime);
  }
};

struct RecvLine {
  static constexpr const char* kType = "recv";
  Stamp at;
  InputPhase phase = InputPhase::Poll;
  std::optional<bool> eof;           // true instead of bytes: the client closed its side
  std::optional<std::string> bytes;  // what one receive got
  template <class F>
  void fields(F& f) {
    f.stamp(at.run, at.runTime);
    f.choice("at", phase, kPhaseNames);
    f.optional("eof", eof);
    f.optional("bytes", bytes);
  }
};

// A lockstep reply, by its number: complete (reply), given up on (late), or
// completed after it was given up on (discard).
struct ReplyFields {
  Stamp at;
  std::uint64_t n = 0;
  template <class F>
  void fields(F& f) {
    f.stamp(at.run, at.runTime);
    f.field("n", n);
  }
};
struct ReplyLine : ReplyFields {
  static constexpr const char* kType = "reply";
};
struct LateLine : ReplyFields {
  static constexpr const char* kType = "late";
};
struct DiscardLine : ReplyFields {
  static constexpr const char* kType = "discard";
};

struct CmdLine {
  static constexpr const char* kType = "cmd";
  Stamp at;
  std::vector<std::string> cmds;
  template <class F>
  void fields(F& f) {
    f.stamp(at.run, at.runTime);
    f.field("cmds", cmds);
  }
};

struct MsgLine {
  static constexpr const char* kType = "msg";
  Stamp at;
  std::string text;
  template <class F>
  void fields(F& f) {
    f.stamp(at.run, at.runTime);
    f.field("text", text);
  }
};

struct MartianPose {
  int index = 0;
  double x = 0, y = 0, heading = 0, speed = 0;
  template <class F>
  void fields(F& f) {
    f.field("index", index);
    f.real("x", x, 3);
    f.real("y", y, 3);
    f.real("heading", heading, 1);
    f.real("speed", speed, 3);
  }
};

struct MartiansLine {
  static constexpr const char* kType = "martians";
  Stamp at;
  std::vector<MartianPose> m;
  template <class F>
  void fields(F& f) {
    f.stamp(at.run, at.runTime);
    f.tuples("m", m);
  }
};

struct SenseLine {
  static constexpr const char* kType = "sense";
  Stamp at;
  std::vector<int> objects, martians, occludedObjects, occludedMartians;
  template <class F>
  void fields(F& f) {
    f.stamp(at.run, at.runTime);
    f.field("objects", objects);
    f.field("martians", martians);
    f.field("occluded_objects", occludedObjects);
    f.field("occluded_martians", occludedMartians);
  }
};

struct StepLine {
  static constexpr const char* kType = "step";
  Stamp at;
  double x = 0, y = 0, heading = 0, speed = 0, rotation = 0;
  std::string control;
  std::uint64_t hash = 0;
  template <class F>
  void fields(F& f) {
    f.stamp(at.run, at.runTime);
    f.real("x", x, 3);
    f.real("y", y, 3);
    f.real("h", heading, 1);
    f.real("v", speed, 3);
    f.real("w", rotation, 1);
    f.field("c", control);
    f.hex("hash", hash);
  }
};

struct EventLine {
  static constexpr const char* kType = "event";
  Stamp at;
  EventKind kind = EventKind::Bounce;
  std::optional<std::string> with;  // a bounce: "wall" or "boulder"
  std::optional<int> martian;
  std::optional<int> id;
  double x = 0, y = 0;
  template <class F>
  void fields(F& f) {
    f.stamp(at.run, at.runTime);
    f.choice("kind", kind, kEventNames);
    f.optional("with", with);
    f.optional("martian", martian);
    f.optional("id", id);
    f.real("x", x, 3);
    f.real("y", y, 3);
  }
};

// A run's result as both the record's run_end line and the results document
// hold it, after their own first members.
template <class F, class Report>
void runResultFields(F& f, Report& run) {
  f.outcome(run.outcome);
  f.field("score", run.scoreMillis);
  f.field("run_ms", run.runMillis);
  f.object("bounces", [&](auto& bounces) {
    bounces.field("boulder", run.boulderBounces);
    bounces.field("wall", run.wallBounces);
  });
  f.field("commands", run.commands);
  f.field("late_replies", run.lateReplies);
}

struct RunEndLine {
  static constexpr const char* kType = "run_end";
  RunReport run;  // its stamp: run.number at run.runMillis; no result line
  template <class F>
  void fields(F& f) {
    f.stamp(run.number, run.runMillis);
    runResultFields(f, run);
  }
};

struct FailureEntry {
  std::string kind;  // the failure kind's name
  std::optional<int> code;
  bool duringReceive = false;
  template <class F>
  void fields(F& f) {
    f.field("kind", kind);
    f.field("errno", code);
    f.field("during_receive", duringReceive);
  }
};

struct FooterLine {
  static constexpr const char* kType = "footer";
  GameEnding::Status status = GameEnding::Status::Completed;
  // A failed game: its line, its message (or null) and, when known, its failure.
  std::optional<std::string> line;
  std::optional<std::optional<std::string>> message;
  std::optional<FailureEntry> failure;
  std::uint64_t runs = 0, messages = 0, steps = 0;  // run_end, msg and step lines
  template <class F>
  void fields(F& f) {
    f.choice("status", status, kStatusNames);
    f.optional("line", line);
    f.optional("message", message);
    f.optional("failure", failure);
    f.field("runs", runs);
    f.field("messages", messages);
    f.field("steps", steps);
  }
};

// Any line of a record.
using RecordEntry =
    std::variant<HeaderLine, RunStartLine, RecvLine, ReplyLine, LateLine, DiscardLine, CmdLine, MsgLine,
                 MartiansLine, SenseLine, StepLine, EventLine, RunEndLine, FooterLine>;

}  // namespace rover
