#include "record/record_writer.h"

#include <cstdio>

#include "net/control_field.h"
#include "record/json_text.h"
#include "record/map_json.h"
#include "record/mover_hash.h"

namespace rover {

namespace {

const char* phaseName(InputPhase phase) {
  switch (phase) {
    case InputPhase::Poll:
      return "poll";
    case InputPhase::Drain:
      return "drain";
    case InputPhase::Wait:
      return "wait";
  }
  return "poll";
}

void appendIds(std::string& out, const char* name, const World& world,
               const std::vector<std::size_t>& entries, bool martians) {
  out += ",\"";
  out += name;
  out += "\":[";
  bool first = true;
  for (const std::size_t i : entries) {
    const WorldObject& object = world.roverObjects[i].object;
    if ((object.kind == ObjectKind::MartianObj) != martians) continue;
    if (!first) out += ',';
    first = false;
    out += std::to_string(object.id);
  }
  out += ']';
}

const char* eventKind(char event) {
  switch (event) {
    case 'B':
      return "bounce";
    case 'C':
      return "crater";
    case 'K':
      return "killed";
    default:
      return "home";
  }
}

}  // namespace

RecordWriter::RecordWriter(RecordOutput& sink, const GameInfo& info, const MapSpec& map) : sink_(sink) {
  line_ = "{\"type\":\"header\",\"format\":\"rover-record\",\"version\":1,\"server\":";
  appendJsonString(line_, info.server);
  line_ += ",\"mode\":\"";
  line_ += info.lockstep ? "lockstep" : "realtime";
  line_ += "\",\"seed\":" + std::to_string(info.seed) + ",\"reply_timeout_ms\":";
  line_ += info.replyTimeoutMillis ? std::to_string(*info.replyTimeoutMillis) : "null";
  line_ += ",\"map_sha256\":\"" + info.map.sha256 + "\",\"map_base64\":\"" + base64(info.map.bytes) +
           "\",\"map\":";
  line_ += mapAsJson(map);
  end();
}

void RecordWriter::begin(const char* type, const Stamp& at) {
  line_ += "{\"type\":\"";
  line_ += type;
  line_ += "\",\"run\":";
  line_ += std::to_string(at.run);
  line_ += ",\"t\":";
  line_ += at.runTime.millisText();
}

void RecordWriter::end() {
  line_ += "}\n";
  sink_.write(line_);
  line_.clear();
}

void RecordWriter::runStarting(int number) {
  begin("run_start", {number, TimeValue::fromNanos(0)});
  end();
}

void RecordWriter::inputReading(InputPhase phase, const Stamp& at) {
  phase_ = phase;
  phaseAt_ = at;
}

void RecordWriter::received(std::string_view bytes, bool eof) {
  receiveInFlight_ = false;
  begin("recv", phaseAt_);
  line_ += ",\"at\":\"";
  line_ += phaseName(phase_);
  line_ += '"';
  if (eof) {
    line_ += ",\"eof\":true";
  } else {
    line_ += ",\"bytes\":";
    appendJsonString(line_, bytes);
  }
  end();
}

void RecordWriter::replyLine(const char* type, std::uint64_t number) {
  begin(type, phaseAt_);
  line_ += ",\"n\":" + std::to_string(number);
  end();
}

void RecordWriter::commandsApplied(const Stamp& at, const std::vector<std::string>& commands) {
  begin("cmd", at);
  line_ += ",\"cmds\":[";
  for (std::size_t i = 0; i < commands.size(); ++i) {
    if (i > 0) line_ += ',';
    appendJsonString(line_, commands[i]);
  }
  line_ += ']';
  end();
}

void RecordWriter::messageSent(const Stamp& at, std::string_view text) {
  ++messages_;
  begin("msg", at);
  line_ += ",\"text\":";
  appendJsonString(line_, text);
  end();
}

void RecordWriter::sensed(const Stamp& at, const World& world, const std::vector<std::size_t>& visible,
                          const std::vector<std::size_t>& occluded, bool periodic) {
  if (periodic) {
    begin("martians", at);
    line_ += ",\"m\":[";
    for (std::size_t i = 0; i < world.martians.size(); ++i) {
      const Martian& m = world.martians[i];
      if (i > 0) line_ += ',';
      line_ += '[' + std::to_string(m.index) + ',';
      appendWireReal(line_, m.motion.position.x, 3);
      line_ += ',';
      appendWireReal(line_, m.motion.position.y, 3);
      line_ += ',';
      appendWireReal(line_, m.motion.heading, 1);
      line_ += ',';
      appendWireReal(line_, m.motion.speed, 3);
      line_ += ']';
    }
    line_ += ']';
    end();
  }
  begin("sense", at);
  appendIds(line_, "objects", world, visible, false);
  appendIds(line_, "martians", world, visible, true);
  appendIds(line_, "occluded_objects", world, occluded, false);
  appendIds(line_, "occluded_martians", world, occluded, true);
  end();
}

void RecordWriter::stepped(const Stamp& at, const World& world, const StepResult& result) {
  ++steps_;
  const MotionState& rover = world.rover;
  begin("step", at);
  line_ += ",\"x\":";
  appendWireReal(line_, rover.position.x, 3);
  line_ += ",\"y\":";
  appendWireReal(line_, rover.position.y, 3);
  line_ += ",\"h\":";
  appendWireReal(line_, rover.heading, 1);
  line_ += ",\"v\":";
  appendWireReal(line_, rover.speed, 3);
  line_ += ",\"w\":";
  appendWireReal(line_, rover.rotation, 1);
  line_ += ",\"c\":\"" + controlField(world.roverControl) + "\",\"hash\":\"";
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(moverHash(world)));
  line_ += hash;
  line_ += '"';
  end();

  for (const LostMartian& lost : result.lost) {
    begin("event", at);
    line_ += ",\"kind\":\"martian_lost\",\"martian\":" + std::to_string(lost.index) +
             ",\"id\":" + std::to_string(lost.craterId) + ",\"x\":";
    appendWireReal(line_, lost.position.x, 3);
    line_ += ",\"y\":";
    appendWireReal(line_, lost.position.y, 3);
    end();
  }
  if (result.event && result.contact) {
    const RoverContact& contact = *result.contact;
    begin("event", at);
    line_ += ",\"kind\":\"";
    line_ += eventKind(*result.event);
    line_ += '"';
    if (*result.event == 'B') line_ += contact.wall ? ",\"with\":\"wall\"" : ",\"with\":\"boulder\"";
    if (!contact.wall) {
      if (contact.kind == ObjectKind::MartianObj) {
        line_ += ",\"martian\":" + std::to_string(contact.id);
      } else if (contact.kind != ObjectKind::Home) {
        line_ += ",\"id\":" + std::to_string(contact.id);
      }
    }
    line_ += ",\"x\":";
    appendWireReal(line_, rover.position.x, 3);
    line_ += ",\"y\":";
    appendWireReal(line_, rover.position.y, 3);
    end();
  }
}

void RecordWriter::runClosed(const RunReport& report) {
  ++runs_;
  begin("run_end", {report.number, TimeValue::fromMillis(report.runMillis)});
  line_ += ",\"outcome\":\"";
  line_ += outcomeText(report.outcome);
  line_ += "\",\"code\":" + std::to_string(static_cast<int>(report.outcome)) + ",\"score\":";
  appendJsonInteger(line_, report.scoreMillis);
  line_ += ",\"run_ms\":";
  appendJsonInteger(line_, report.runMillis);
  line_ += ",\"bounces\":{\"boulder\":" + std::to_string(report.boulderBounces) +
           ",\"wall\":" + std::to_string(report.wallBounces) +
           "},\"commands\":" + std::to_string(report.commands) +
           ",\"late_replies\":" + std::to_string(report.lateReplies);
  end();
  sink_.flush();
}

void RecordWriter::gameEnded(const GameEnding& ending) {
  line_ += "{\"type\":\"footer\",\"status\":\"";
  line_ += statusName(ending.status);
  line_ += '"';
  if (ending.status == GameEnding::Status::Failed) {
    line_ += ",\"line\":";
    appendJsonString(line_, ending.line);
    line_ += ",\"message\":";
    if (ending.failure && ending.failure->message()) {
      appendJsonString(line_, *ending.failure->message());
    } else {
      line_ += "null";
    }
    if (ending.failure) {
      line_ += ",\"failure\":{\"kind\":\"";
      line_ += ending.failure->kindName();
      line_ += "\",\"errno\":";
      line_ += ending.failure->errorCode() ? std::to_string(*ending.failure->errorCode()) : "null";
      line_ += ",\"during_receive\":";
      line_ += receiveInFlight_ ? "true" : "false";
      line_ += '}';
    }
  }
  line_ += ",\"runs\":" + std::to_string(runs_) + ",\"messages\":" + std::to_string(messages_) +
           ",\"steps\":" + std::to_string(steps_);
  end();
  sink_.close();
}

}  // namespace rover
