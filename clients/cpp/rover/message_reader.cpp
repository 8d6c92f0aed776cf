#include "rover/message_reader.h"

#include <charconv>
#include <vector>

namespace rover::client {

namespace {

[[noreturn]] void malformed(std::string_view text, const std::string& why) {
  std::string shown(text.substr(0, 60));
  throw ProtocolError("malformed message \"" + shown + (text.size() > 60 ? "...\"" : "\"") + ": " + why);
}

// Every field is followed by exactly one space ("B 10 "); an empty field
// (two spaces in a row) is malformed.
std::vector<std::string_view> splitFields(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find(' ', begin);
    if (end == std::string_view::npos) end = text.size();
    if (end == begin) malformed(text, "empty field");
    fields.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return fields;
}

// Reads the fields of one message in order, failing on anything unexpected.
class FieldReader {
 public:
  FieldReader(std::string_view text, std::vector<std::string_view> fields)
      : text_(text), fields_(std::move(fields)) {}

  bool done() const { return next_ == fields_.size(); }
  std::size_t remaining() const { return fields_.size() - next_; }

  std::string_view word() {
    if (done()) malformed(text_, "too few fields");
    return fields_[next_++];
  }

  double real() {
    std::string_view field = word();
    double value = 0.0;
    auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size())
      malformed(text_, "bad number \"" + std::string(field) + "\"");
    return value;
  }

  std::int64_t milliseconds() {
    std::string_view field = word();
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size() || value < 0)
      malformed(text_, "bad time \"" + std::string(field) + "\"");
    return value;
  }

  Controls controls(std::string_view field) {
    static constexpr std::string_view kAccel = "b-a";
    static constexpr std::string_view kTurn = "Rr-lL";
    if (field.size() != 2 || kAccel.find(field[0]) == std::string_view::npos ||
        kTurn.find(field[1]) == std::string_view::npos)
      malformed(text_, "bad control field \"" + std::string(field) + "\"");
    return Controls{static_cast<int>(kAccel.find(field[0])) - 1, static_cast<int>(kTurn.find(field[1])) - 2};
  }

  void finish() {
    if (!done()) malformed(text_, "too many fields");
  }

 private:
  std::string_view text_;
  std::vector<std::string_view> fields_;
  std::size_t next_ = 0;
};

SeenObject readObject(std::string_view text, FieldReader& reader) {
  std::string_view letter = reader.word();
  SeenObject object;
  if (letter == "b") {
    object.kind = ObjectKind::Boulder;
  } else if (letter == "c") {
    object.kind = ObjectKind::Crater;
  } else if (letter == "h") {
    object.kind = ObjectKind::Home;
  } else if (letter == "m") {
    object.kind = ObjectKind::Martian;
  } else {
    malformed(text, "unknown object kind \"" + std::string(letter) + "\"");
  }
  object.x = reader.real();
  object.y = reader.real();
  if (object.kind == ObjectKind::Martian) {
    object.heading = reader.real();
    object.speed = reader.real();
  } else {
    object.radius = reader.real();
  }
  return object;
}

}  // namespace

Message parseMessage(std::string_view text) {
  FieldReader reader(text, splitFields(text));
  std::string_view letter = reader.word();
  if (letter == "I") {
    InitMessage init;
    init.sizeX = reader.real();
    init.sizeY = reader.real();
    init.timeLimitMs = reader.milliseconds();
    init.rearView = reader.real();
    init.frontView = reader.real();
    init.maxSpeed = reader.real();
    init.turn = reader.real();
    init.hardTurn = reader.real();
    reader.finish();
    return init;
  }
  if (letter == "T") {
    Telemetry telemetry;
    telemetry.timeMs = reader.milliseconds();
    telemetry.control = reader.word();
    telemetry.controls = reader.controls(telemetry.control);
    telemetry.x = reader.real();
    telemetry.y = reader.real();
    telemetry.heading = reader.real();
    telemetry.speed = reader.real();
    while (!reader.done()) telemetry.objects.push_back(readObject(text, reader));
    return telemetry;
  }
  if (letter == "B" || letter == "C" || letter == "K" || letter == "S") {
    EventMessage event{letter[0], reader.milliseconds()};
    reader.finish();
    return event;
  }
  if (letter == "E") {
    EndMessage end;
    end.timeMs = reader.milliseconds();
    end.scoreMs = reader.milliseconds();
    reader.finish();
    return end;
  }
  malformed(text, "unknown message letter \"" + std::string(letter) + "\"");
}

void MessageReader::feed(std::string_view bytes) {
  if (start_ > 0) {
    pending_.erase(0, start_);
    start_ = 0;
  }
  pending_.append(bytes);
  std::size_t unfinished = pending_.size();
  std::size_t lastEnd = pending_.rfind(';');
  if (lastEnd != std::string::npos) unfinished = pending_.size() - lastEnd - 1;
  if (unfinished > kMaxMessageBytes)
    throw ProtocolError("message longer than " + std::to_string(kMaxMessageBytes) + " bytes");
}

std::optional<Message> MessageReader::next() {
  std::size_t end = pending_.find(';', start_);
  if (end == std::string::npos) return std::nullopt;
  std::string_view text(pending_.data() + start_, end - start_);
  start_ = end + 1;
  return parseMessage(text);
}

bool MessageReader::midMessage() const {
  return pending_.find_first_not_of(' ', start_) != std::string::npos;
}

}  // namespace rover::client
