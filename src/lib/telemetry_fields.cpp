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

// Powers of ten that are exact doubles.
constexpr double kTens[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
constexpr std::size_t kMostDigits = 15;  // below 2^53: every such integer is an exact double

}  // namespace

double readReal(std::string_view text) {
  // The wire's fixed-point text: when its digits fit in 15, the integer
  // they make and the power of ten of its decimals are exact doubles, and
  // one division, rounded once, is the double nearest the text. Anything
  // else (inf, nan, long numbers) goes to from_chars, which is exact too.
  const bool negative = !text.empty() && text.front() == '-';
  std::uint64_t digits = 0;
  std::size_t count = 0;
  std::size_t decimals = 0;
  bool point = false;
  bool plain = text.size() > (negative ? 1u : 0u);
  for (std::size_t i = negative ? 1 : 0; i < text.size() && plain; ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
      decimals += point ? 1 : 0;
      plain = ++count <= kMostDigits;
    } else {
      plain = c == '.' && !point && i + 1 < text.size() && i > (negative ? 1u : 0u);
      point = true;
    }
  }
  if (plain) {
    const double value = static_cast<double>(digits) / kTens[decimals];
    return negative ? -value : value;
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) raiseFail("a message field that is no real");
  return value;
}

namespace {

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
