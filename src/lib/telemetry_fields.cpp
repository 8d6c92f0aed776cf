#include "lib/telemetry_fields.h"

#include <charconv>

#include "base/failure.h"
#include "net/control_field.h"

namespace rover {
namespace {

// Powers of ten that are exact doubles.
constexpr double kTens[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
constexpr int kMostDigits = 15;  // below 2^53: every such integer is an exact double

// The wire's fixed-point text "-?d+(.d+)?" at `from`, up to `end`: when its
// digits fit in 15, the integer they make and the power of ten of its
// decimals are exact doubles, and one division, rounded once, is the double
// nearest the text. Sets `next` past the text and returns true then;
// false for anything else (inf, nan, long numbers, no number at all).
bool fixedPoint(const char* from, const char* end, double& value, const char*& next) {
  const bool negative = from < end && *from == '-';
  const char* p = from + (negative ? 1 : 0);
  std::uint64_t digits = 0;
  int count = 0;
  const char* point = nullptr;
  for (; p < end; ++p) {
    if (*p >= '0' && *p <= '9') {
      digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
      ++count;
    } else if (*p == '.' && point == nullptr) {
      point = p;
    } else {
      break;
    }
  }
  const int decimals = point != nullptr ? static_cast<int>(p - point - 1) : 0;
  const int whole = count - decimals;
  if (count > kMostDigits || whole < 1 || (point != nullptr && decimals < 1)) return false;
  value = static_cast<double>(digits) / kTens[decimals];
  if (negative) value = -value;
  next = p;
  return true;
}

// Walks a message's fields, each followed by one space.
class FieldCursor {
 public:
  explicit FieldCursor(std::string_view text) : at_(text.data()), end_(text.data() + text.size()) {}

  bool atEnd() const { return at_ < end_ && *at_ == ';'; }

  std::string_view word() {
    const char* space = at_;
    while (space < end_ && *space != ' ') ++space;
    if (space == end_) raiseFail("a message field without its space");
    const std::string_view word(at_, static_cast<std::size_t>(space - at_));
    at_ = space + 1;
    return word;
  }

  double real() {
    double value = 0.0;
    const char* next = nullptr;
    if (fixedPoint(at_, end_, value, next) && next < end_ && *next == ' ') {
      at_ = next + 1;
      return value;
    }
    return readReal(word());
  }

  // Passes over `count` fields.
  void skip(int count) {
    for (int i = 0; i < count; ++i) word();
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
  const char* at_;
  const char* end_;
};

int stateOf(std::string_view letters, char letter, int lowest) {
  const std::size_t at = letters.find(letter);
  if (at == std::string_view::npos) raiseFail("a control field with an unknown letter");
  return static_cast<int>(at) + lowest;
}

}  // namespace

double readReal(std::string_view text) {
  double value = 0.0;
  const char* next = nullptr;
  if (fixedPoint(text.data(), text.data() + text.size(), value, next) && next == text.data() + text.size())
    return value;
  // inf, nan and long numbers: from_chars is exact too.
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size())
    raiseFail("a message field that is no real");
  return value;
}

void readTelemetry(std::string_view text, TelemetryFields& out, std::size_t maxObjects) {
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
  out.objectCount = 0;
  while (!fields.atEnd()) {
    const std::string_view kind = fields.word();
    if (kind.size() != 1) raiseFail("an object kind that is not one letter");
    const bool martian = kind[0] == 'm';
    if (out.objectCount++ >= maxObjects) {
      fields.skip(martian ? 4 : 3);  // counted, not read
      continue;
    }
    SeenEntry& entry = out.objects.emplace_back();
    entry.kind = kind[0];
    entry.x = fields.real();
    entry.y = fields.real();
    if (martian) {
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
