#include "record/record_writer.h"

#include <cstring>

#include "net/control_field.h"
#include "record/line_writer.h"
#include "record/map_bytes.h"

namespace rover {

namespace {

// The ids of the entries that are Martians (their indices), or of those
// that are static objects (their places in the map's list).
void takeIds(std::vector<int>& ids, const World& world, const std::vector<std::size_t>& entries,
             bool martians) {
  ids.clear();
  const RoverObjects& list = world.roverObjects;
  for (const std::size_t i : entries) {
    if ((i < list.martianCount()) != martians) continue;
    ids.push_back(martians ? list.martianId(i) : (*list.statics())[i - list.martianCount()].id);
  }
}

class Fnv1a {
 public:
  // Each value's bytes little-endian, whatever the host: the record format fixes the order.
  void bytes(std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) {
      hash_ ^= static_cast<unsigned char>(value >> (8 * i));
      hash_ *= 0x100000001b3ULL;
    }
  }
  void i32(std::int32_t value) { bytes(static_cast<std::uint32_t>(value), 4); }
  void reals(std::initializer_list<double> values) {
    for (const double value : values) {
      std::uint64_t bits;
      std::memcpy(&bits, &value, sizeof bits);
      bytes(bits, 8);
    }
  }
  void mover(const MotionState& m, ControlState c) {
    reals({m.speed, m.rotation, m.heading, m.position.x, m.position.y, m.direction.x, m.direction.y});
    i32(c.turn);
    i32(c.accel);
  }
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

// FNV-1a (64 bit) over the exact bits of every mover's state: the rover's
// motion and controls, then each live Martian's index, motion, controls and
// wander angle, in list order. A record keeps it per physics step, so a
// replay proves the simulation identical without storing full precision.
std::uint64_t moverHash(const World& world) {
  Fnv1a h;
  h.mover(world.rover, world.roverControl);
  for (const Martian& martian : world.martians) {
    h.i32(martian.index);
    h.mover(martian.motion, martian.control);
    h.reals({martian.wanderAngle});
  }
  return h.value();
}

// The event of a step's message letter: B, C, K or S (home).
EventKind eventKind(char event) {
  const std::size_t at = std::string_view("BCK").find(event);
  return at == std::string_view::npos ? EventKind::Home : static_cast<EventKind>(at);
}

// The map as the header shows it.
MapEntry mapEntry(const MapSpec& map) {
  MapEntry entry;
  entry.size = map.halfSize * 2.0;
  entry.timeLimitMillis = map.timeLimitMillis;
  entry.vehicle.p = map.vehicleParams;
  entry.martian.p = map.martianParams;
  // ObjectKind's order: Boulder, Crater, Home, MartianObj.
  static constexpr const char* kKinds[] = {"boulder", "crater", "home", "martian"};
  for (const WorldObject& object : map.objects) {
    const CircleObject& c = object.circle;
    entry.objects.push_back({kKinds[static_cast<int>(object.kind)], c.center.x, c.center.y, c.radius});
  }
  const auto pose = [](const MotionState& s) { return PoseEntry{s.position.x, s.position.y, s.heading}; };
  for (const RunSpec& run : map.runs) {
    RunEntry& out = entry.runs.emplace_back();
    out.vehicle = pose(run.startState);
    for (const MartianSpec& enemy : run.enemies) {
      out.enemies.push_back({enemy.index, pose(enemy.startState), enemy.startState.speed, enemy.view});
    }
  }
  return entry;
}

}  // namespace

RecordWriter::RecordWriter(RecordOutput& sink, const GameInfo& info, const MapSpec& map) : sink_(sink) {
  HeaderLine header;
  header.server = info.server;
  header.mode = info.lockstep ? PlayMode::Lockstep : PlayMode::RealTime;
  header.seed = info.seed;
  header.replyTimeoutMillis = info.replyTimeoutMillis;
  header.mapSha256 = info.map.sha256;
  header.mapBase64 = base64(info.map.bytes);
  header.map = mapEntry(map);
  write(header);
}

template <class Line>
void RecordWriter::write(const Line& line) {
  appendRecordLine(text_, line);
  sink_.write(text_);
  text_.clear();
}

void RecordWriter::runStarting(int number) {
  write(RunStartLine{{{number, TimeValue::fromNanos(0)}}});
}

void RecordWriter::inputReading(InputPhase phase, const Stamp& at) {
  phase_ = phase;
  phaseAt_ = at;
}

void RecordWriter::received(std::string_view bytes, bool eof) {
  receiveInFlight_ = false;
  write(RecvLineOf<std::string_view>{{phaseAt_},
                                     phase_,
                                     eof ? std::optional(true) : std::nullopt,
                                     eof ? std::nullopt : std::optional(bytes)});
}

void RecordWriter::commandsApplied(const Stamp& at, const std::vector<std::string>& commands) {
  cmd_.at = at;
  cmd_.cmds = commands;
  write(cmd_);
}

void RecordWriter::messageSent(const Stamp& at, std::string_view text) {
  ++messages_;
  write(MsgLineOf<std::string_view>{{at}, text});
  // Every "T", once sent (in lockstep before its reply is awaited), takes
  // the record so far on its way to the file: a spectator following the
  // file sees each T as the controller answers it. A point fixed by the
  // game, not by the clock, so a .gz record's bytes stay reproducible.
  if (!text.empty() && text.front() == 'T') sink_.telemetrySent();
}

void RecordWriter::sensed(const Stamp& at, const World& world, const std::vector<std::size_t>& visible,
                          const std::vector<std::size_t>& occluded, bool periodic) {
  if (periodic) {
    martians_.at = at;
    martians_.m.clear();
    for (const Martian& m : world.martians) {
      martians_.m.push_back(
          {m.index, m.motion.position.x, m.motion.position.y, m.motion.heading, m.motion.speed});
    }
    write(martians_);
  }
  sense_.at = at;
  takeIds(sense_.objects, world, visible, false);
  takeIds(sense_.martians, world, visible, true);
  takeIds(sense_.occludedObjects, world, occluded, false);
  takeIds(sense_.occludedMartians, world, occluded, true);
  write(sense_);
}

void RecordWriter::stepped(const Stamp& at, const World& world, const StepResult& result) {
  ++steps_;
  const MotionState& rover = world.rover;
  step_.at = at;
  step_.x = rover.position.x;
  step_.y = rover.position.y;
  step_.heading = rover.heading;
  step_.speed = rover.speed;
  step_.rotation = rover.rotation;
  step_.control = controlField(world.roverControl);
  // 16 lower-case hex digits, most significant first (no printf on this path).
  const std::uint64_t hash = moverHash(world);
  step_.hash.resize(16);
  for (int i = 0; i < 16; ++i) step_.hash[i] = "0123456789abcdef"[(hash >> (60 - 4 * i)) & 0xf];
  write(step_);

  for (const LostMartian& lost : result.lost) {
    EventLine event{
        at, EventKind::MartianLost, {}, lost.index, lost.craterId, lost.position.x, lost.position.y};
    write(event);
  }
  if (result.event && result.contact) {
    const RoverContact& contact = *result.contact;
    EventLine event{at, eventKind(*result.event), {}, {}, {}, rover.position.x, rover.position.y};
    if (*result.event == 'B') event.with = contact.wall ? "wall" : "boulder";
    if (!contact.wall && contact.kind == ObjectKind::MartianObj) event.martian = contact.id;
    if (!contact.wall && contact.kind != ObjectKind::MartianObj && contact.kind != ObjectKind::Home) {
      event.id = contact.id;
    }
    write(event);
  }
}

void RecordWriter::runClosed(const RunReport& report) {
  ++runs_;
  RunEndLine line;
  line.run = report;
  write(line);
  sink_.flush();
}

void RecordWriter::gameEnded(const GameEnding& ending) {
  FooterLine footer;
  footer.status = ending.status;
  if (ending.status == GameEnding::Status::Failed) {
    footer.line = ending.line;
    footer.message.emplace(ending.failure ? ending.failure->message() : std::nullopt);
    if (ending.failure) {
      footer.failure =
          FailureEntry{ending.failure->kindName(), ending.failure->errorCode(), receiveInFlight_};
    }
  }
  footer.runs = runs_;
  footer.messages = messages_;
  footer.steps = steps_;
  write(footer);
  sink_.close();
}

}  // namespace rover
