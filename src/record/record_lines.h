#pragma once

#include <gmpxx.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <variant>
#include <vector>

#include "driver/game_listener.h"
#include "driver/game_setup.h"
#include "map/map_spec.h"
#include "sim/world_step.h"

namespace rover {

// The one definition of every line of a game record (docs/record-format.md).
// Each line type's fields(f) hands its members, in order, to a writer
// (record/line_writer.h) or a reader (record/line_reader.h) as f(member,
// ...); each member names its JSON member, its type and where its value
// lives, so the writer and the reader cannot disagree.

// A value: an integer (mpz_class too), a time (whole milliseconds), bool,
// std::string (Latin-1 bytes), std::optional<T> (null when empty),
// std::vector<T> (an array) or a struct with fields(): an object, or an
// array of its members' values when the struct says kTuple.
template <class T>
struct Field {
  std::string_view name;
  T& value;
};
// Left out when empty.
template <class T>
struct Optional {
  std::string_view name;
  std::optional<T>& value;
};
inline constexpr int kShortest = -1;
// A real with this many decimals, as the wire writes it, or kShortest: the
// shortest text that reads back to the same double. Non-finite: "nan", "inf", "-inf".
struct Real {
  std::string_view name;
  double& value;
  int decimals;
};
// An enumeration written as one of its names.
template <class E, std::size_t N>
struct Choice {
  std::string_view name;
  E& value;
  const std::array<const char*, N>& names;
};
// Spelled out for compilers that deduce no aggregate's arguments (clang
// before 17, which builds the fuzzers).
template <class T>
Field(std::string_view, T&) -> Field<T>;
template <class T>
Optional(std::string_view, std::optional<T>&) -> Optional<T>;
template <class E, std::size_t N>
Choice(std::string_view, E&, const std::array<const char*, N>&) -> Choice<E, N>;
// "outcome": its text, then "code": its number.
struct OutcomeOf {
  Outcome& value;
};
// A nested object of the given members.
template <class... Members>
struct Object {
  Object(std::string_view objectName, Members... list) : name(objectName), members(list...) {}
  std::string_view name;
  std::tuple<Members...> members;
};

inline constexpr const char* kRecordFormat = "rover-record";
inline constexpr int kRecordVersion = 1;

inline constexpr std::array<const char*, 2> kModeNames = {"realtime", "lockstep"};
inline constexpr std::array<const char*, 3> kPhaseNames = {"poll", "drain", "wait"};
inline constexpr std::array<const char*, 3> kStatusNames = {"completed", "quit", "failed"};
enum class EventKind { Bounce, Crater, Killed, Home, MartianLost };
inline constexpr std::array<const char*, 5> kEventNames = {"bounce", "crater", "killed", "home",
                                                           "martian_lost"};

// The header's map: the map as loaded.
struct ParamsEntry {
  VehicleParams p;
  void fields(auto& f) {
    f(Real{"max_speed", p.maxSpeed, kShortest}, Real{"accel", p.accel, kShortest},
      Real{"brake", p.brake, kShortest}, Real{"turn", p.turn, kShortest},
      Real{"hard_turn", p.hardTurn, kShortest}, Real{"rot_accel", p.rotAccel, kShortest},
      Real{"front_view", p.frontView, kShortest}, Real{"rear_view", p.rearView, kShortest});
  }
};

struct MapObjectEntry {
  std::string kind;  // "home", "crater" or "boulder"
  double x = 0, y = 0, r = 0;
  void fields(auto& f) {
    f(Field{"kind", kind}, Real{"x", x, kShortest}, Real{"y", y, kShortest}, Real{"r", r, kShortest});
  }
};

struct PoseEntry {
  double x = 0, y = 0, heading = 0;
  void fields(auto& f) {
    f(Real{"x", x, kShortest}, Real{"y", y, kShortest}, Real{"heading", heading, kShortest});
  }
};

struct EnemyEntry {
  int index = 0;
  PoseEntry pose;
  double speed = 0, view = 0;
  void fields(auto& f) {
    f(Field{"index", index});
    pose.fields(f);
    f(Real{"speed", speed, kShortest}, Real{"view", view, kShortest});
  }
};

struct RunEntry {
  PoseEntry vehicle;
  std::vector<EnemyEntry> enemies;
  void fields(auto& f) { f(Field{"vehicle", vehicle}, Field{"enemies", enemies}); }
};

struct MapEntry {
  double size = 0;
  mpz_class timeLimitMillis;
  ParamsEntry vehicle, martian;
  std::vector<MapObjectEntry> objects;
  std::vector<RunEntry> runs;
  void fields(auto& f) {
    f(Real{"size", size, kShortest}, Field{"time_limit_ms", timeLimitMillis},
      Field{"vehicle_params", vehicle}, Field{"martian_params", martian}, Field{"objects", objects},
      Field{"runs", runs});
  }
};

struct HeaderLine {
  static constexpr const char* kType = "header";
  std::string format = kRecordFormat;
  mpz_class version = kRecordVersion;
  std::string server;
  PlayMode mode = PlayMode::RealTime;
  std::uint64_t seed = 0;
  std::optional<std::uint32_t> replyTimeoutMillis;  // null in real time
  std::string mapSha256, mapBase64;
  MapEntry map;
  void fields(auto& f) {
    f(Field{"format", format}, Field{"version", version}, Field{"server", server},
      Choice{"mode", mode, kModeNames}, Field{"seed", seed}, Field{"reply_timeout_ms", replyTimeoutMillis},
      Field{"map_sha256", mapSha256}, Field{"map_base64", mapBase64}, Field{"map", map});
  }
};

// Every line but the header and the footer starts with its stamp.
struct StampedLine {
  Stamp at;
  void fields(auto& f) { f(Field{"run", at.run}, Field{"t", at.runTime}); }
};

struct RunStartLine : StampedLine {
  static constexpr const char* kType = "run_start";
};

// The writer fills it with a view of the bytes: no copy of them.
template <class Bytes = std::string>
struct RecvLineOf : StampedLine {
  static constexpr const char* kType = "recv";
  InputPhase phase = InputPhase::Poll;
  std::optional<bool> eof;     // true instead of bytes: the client closed its side
  std::optional<Bytes> bytes;  // what one receive got
  void fields(auto& f) {
    f(Field{"run", at.run}, Field{"t", at.runTime}, Choice{"at", phase, kPhaseNames}, Optional{"eof", eof},
      Optional{"bytes", bytes});
  }
};

using RecvLine = RecvLineOf<>;

// A lockstep reply, by its number: complete (reply), given up on (late), or
// completed after it was given up on (discard).
inline constexpr std::array<const char*, 3> kReplyTypes = {"reply", "late", "discard"};
template <std::size_t Kind>
struct ReplyLineOf : StampedLine {
  static constexpr const char* kType = kReplyTypes[Kind];
  std::uint64_t n = 0;
  void fields(auto& f) { f(Field{"run", at.run}, Field{"t", at.runTime}, Field{"n", n}); }
};
using ReplyLine = ReplyLineOf<0>;
using LateLine = ReplyLineOf<1>;
using DiscardLine = ReplyLineOf<2>;

struct CmdLine : StampedLine {
  static constexpr const char* kType = "cmd";
  std::vector<std::string> cmds;
  void fields(auto& f) { f(Field{"run", at.run}, Field{"t", at.runTime}, Field{"cmds", cmds}); }
};

// The writer fills it with a view of the message: no copy of the text.
template <class Text = std::string>
struct MsgLineOf : StampedLine {
  static constexpr const char* kType = "msg";
  Text text;
  void fields(auto& f) { f(Field{"run", at.run}, Field{"t", at.runTime}, Field{"text", text}); }
};

using MsgLine = MsgLineOf<>;

struct MartianPose {
  static constexpr bool kTuple = true;
  int index = 0;
  double x = 0, y = 0, heading = 0, speed = 0;
  void fields(auto& f) {
    f(Field{"index", index}, Real{"x", x, 3}, Real{"y", y, 3}, Real{"heading", heading, 1},
      Real{"speed", speed, 3});
  }
};

struct MartiansLine : StampedLine {
  static constexpr const char* kType = "martians";
  std::vector<MartianPose> m;
  void fields(auto& f) { f(Field{"run", at.run}, Field{"t", at.runTime}, Field{"m", m}); }
};

struct SenseLine : StampedLine {
  static constexpr const char* kType = "sense";
  std::vector<int> objects, martians, occludedObjects, occludedMartians;
  void fields(auto& f) {
    f(Field{"run", at.run}, Field{"t", at.runTime}, Field{"objects", objects}, Field{"martians", martians},
      Field{"occluded_objects", occludedObjects}, Field{"occluded_martians", occludedMartians});
  }
};

struct StepLine : StampedLine {
  static constexpr const char* kType = "step";
  double x = 0, y = 0, heading = 0, speed = 0, rotation = 0;
  std::string control;
  std::string hash;  // 16 hex digits
  void fields(auto& f) {
    f(Field{"run", at.run}, Field{"t", at.runTime}, Real{"x", x, 3}, Real{"y", y, 3}, Real{"h", heading, 1},
      Real{"v", speed, 3}, Real{"w", rotation, 1}, Field{"c", control}, Field{"hash", hash});
  }
};

struct EventLine : StampedLine {
  static constexpr const char* kType = "event";
  EventKind kind = EventKind::Bounce;
  std::optional<std::string> with;  // a bounce: "wall" or "boulder"
  std::optional<int> martian, id;
  double x = 0, y = 0;
  void fields(auto& f) {
    f(Field{"run", at.run}, Field{"t", at.runTime}, Choice{"kind", kind, kEventNames}, Optional{"with", with},
      Optional{"martian", martian}, Optional{"id", id}, Real{"x", x, 3}, Real{"y", y, 3});
  }
};

// A run's result as both the record's run_end line and the results document
// hold it, after their own first members.
void runResultFields(auto& f, auto& run) {
  f(OutcomeOf{run.outcome}, Field{"score", run.scoreMillis}, Field{"run_ms", run.runMillis},
    Object{"bounces", Field{"boulder", run.boulderBounces}, Field{"wall", run.wallBounces}},
    Field{"commands", run.commands}, Field{"late_replies", run.lateReplies});
}

struct RunEndLine {
  static constexpr const char* kType = "run_end";
  RunReport run;  // its stamp: run.number at run.runMillis; no result line
  void fields(auto& f) {
    f(Field{"run", run.number}, Field{"t", run.runMillis});
    runResultFields(f, run);
  }
};

struct FailureEntry {
  std::string kind;  // the failure kind's name
  std::optional<int> code;
  bool duringReceive = false;
  void fields(auto& f) {
    f(Field{"kind", kind}, Field{"errno", code}, Field{"during_receive", duringReceive});
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
  void fields(auto& f) {
    f(Choice{"status", status, kStatusNames}, Optional{"line", line}, Optional{"message", message},
      Optional{"failure", failure}, Field{"runs", runs}, Field{"messages", messages}, Field{"steps", steps});
  }
};

// Any line of a record.
using RecordEntry =
    std::variant<HeaderLine, RunStartLine, RecvLine, ReplyLine, LateLine, DiscardLine, CmdLine, MsgLine,
                 MartiansLine, SenseLine, StepLine, EventLine, RunEndLine, FooterLine>;

}  // namespace rover
