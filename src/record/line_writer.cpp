#include "record/line_writer.h"

#include <charconv>
#include <cstdio>

namespace rover {

void FieldWriter::key(const char* name) {
  if (!first_) out_ += spacing_ == Spacing::Spaced ? ", " : ",";
  first_ = false;
  if (!named_) return;
  out_ += '"';
  out_ += name;
  out_ += spacing_ == Spacing::Spaced ? "\": " : "\":";
}

void FieldWriter::write(std::int64_t value) {
  char text[24];
  out_.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void FieldWriter::write(std::uint64_t value) {
  char text[24];
  out_.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void FieldWriter::real(const char* name, double x, int decimals) {
  key(name);
  if (decimals == kShortest) {
    appendJsonReal(out_, x);
  } else {
    appendWireReal(out_, x, decimals);
  }
}

void FieldWriter::hex(const char* name, std::uint64_t value) {
  key(name);
  char text[20];
  std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(value));
  out_ += text;
}

void FieldWriter::stamp(int run, const TimeValue& t) {
  field("run", run);
  key("t");
  if (const std::optional<std::int64_t> nanos = t.nanos64()) {
    write(*nanos / 1000000);
  } else {
    out_ += t.millisText();
  }
}

void FieldWriter::stamp(int run, const mpz_class& millis) {
  field("run", run);
  field("t", millis);
}

void FieldWriter::outcome(Outcome outcome) {
  key("outcome");
  out_ += '"';
  out_ += outcomeText(outcome);
  out_ += '"';
  field("code", static_cast<int>(outcome));
}

}  // namespace rover
