#include "lib/telemetry_fields.h"

#include <charconv>

#include "base/failure.h"
#include "net/control_field.h"

namespace rover {
namespace {

// Walks a message's fields, each followed by one space.
class FieldCursor {
 public:
  explicit FieldCursor(std::string_view text) : text_(text) {}

  bool atEnd() const { return at_ < text_.size() && text_[at_] == ';'; }

  std::string_view word() {
    const std::size_t space = text_.find(' ', at_);
    if (space == std::string_view::npos) raiseFail("a message field without its space");
    const std::string_view word = text_.substr(at_, space - at_);
    at_ = space + 1;
    return word;
  }

  double real() {
    const std::string_view text = word();
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
      raiseFail("a message field that is no real");
    return value;
  }

  std::int64_t integer() {
    const std::string_view text = word();
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
      raiseFail("a message time that does not fit in 64 bits");
    return value;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

int stateOf(std::string_view letters, char letter, int lowest) {
  const std::size_t at = letters.find(letter);
  if (at == std::string_view::npos) raiseFail("a control field with an unknown letter");
  return static_cast<int>(at) + lowest;
}

}  // namespace

void readTelemetry(std::string_view text, TelemetryFields& out) {
  FieldCursor fields(text);
  if (fields.word() != "T") raiseFail("a telemetry message that is not a T");
  out.timeMillis = fields.integer();
  const std::string_view control = fields.word();
  if (control.size() != 2) raiseFail("a control field that is not two letters");
  out.control[0] = control[0];
  out.control[1] = control[1];
  out.accel = stateOf(kAccelLetters, control[0], -1);
  out.turn = stateOf(kTurnLetters, control[1], -2);
  out.x = fields.real();
  out.y = fields.real();
  out.heading = fields.real();
  out.speed = fields.real();
  out.objects.clear();
  while (!fields.atEnd()) {
    const std::string_view kind = fields.word();
    if (kind.size() != 1) raiseFail("an object kind that is not one letter");
    SeenEntry& entry = out.objects.emplace_back();
    entry.kind = kind[0];
    entry.x = fields.real();
    entry.y = fields.real();
    if (entry.kind == 'm') {
      entry.heading = fields.real();
      entry.speed = fields.real();
    } else {
      entry.radius = fields.real();
    }
  }
}

std::int64_t messageTime(std::string_view text) {
  FieldCursor fields(text);
  fields.word();  // the letter
  return fields.integer();
}

}  // namespace rover
