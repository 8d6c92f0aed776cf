#include "record/line_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>

#include "base/failure.h"

// RapidJSON checks its preconditions (a value of the right type, an index in
// range) with RAPIDJSON_ASSERT. A record is input from outside, so a broken
// one must end in a clear failure, not in an abort.
#define RAPIDJSON_ASSERT(condition)                                                                     \
  do {                                                                                                  \
    if (!(condition)) throw ::rover::Failure(::rover::FailureKind::Fail, "a value of the wrong shape"); \
  } while (false)
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

namespace rover {

void failAtLine(std::size_t number, const std::string& what) {
  throw Failure(FailureKind::Fail).at({static_cast<std::uint32_t>(number), 0}).because(what);
}

namespace {

// Walks the members of a line type over a parsed JSON object, or over an
// array by position (a tuple), filling the line in. Numbers are kept as
// text, so integers of any size stay exact.
class FieldReader {
 public:
  FieldReader(const rapidjson::Value& node, std::size_t line) : node_(node), line_(line) {}

  template <class... Members>
  void operator()(const Members&... members) {
    (take(members), ...);
  }
  [[noreturn]] void fail(const std::string& what) const { failAtLine(line_, what); }

 private:
  void expect(bool good, const char* name, const char* problem) const {
    if (!good) fail(std::string("\"") + name + "\" " + problem);
  }

  template <class T>
  void take(const Field<T>& m) {
    read(member(m.name.data()), m.name.data(), m.value);
  }
  template <class T>
  void take(const Optional<T>& m) {
    m.value.reset();
    if (node_.IsObject() && node_.HasMember(m.name.data()))
      read(node_[m.name.data()], m.name.data(), m.value.emplace());
  }
  void take(const Real& m) {
    // Non-finite reals are the strings "nan", "inf" and "-inf", which strtod reads.
    const rapidjson::Value& value = member(m.name.data());
    expect(value.IsString(), m.name.data(), "is not a number");
    char* end = nullptr;
    m.value = std::strtod(value.GetString(), &end);
    expect(end != value.GetString() && *end == '\0', m.name.data(), "is not a number");
  }
  template <class E, std::size_t N>
  void take(const Choice<E, N>& m) {
    std::string text;
    read(member(m.name.data()), m.name.data(), text);
    const auto found =
        std::find_if(m.names.begin(), m.names.end(), [&](const char* name) { return text == name; });
    if (found == m.names.end()) fail("unknown \"" + std::string(m.name.data()) + "\": \"" + text + "\"");
    m.value = static_cast<E>(found - m.names.begin());
  }
  void take(const OutcomeOf& m) {
    int code = 0;
    std::string text;
    take(Field<int>{"code", code});
    expect(code >= 0 && code <= 3, "code", "must be 0 to 3");
    m.value = static_cast<Outcome>(code);
    take(Field<std::string>{"outcome", text});
    expect(text == outcomeText(m.value), "outcome", "does not match \"code\"");
  }
  template <class... Members>
  void take(const Object<Members...>& m) {
    const rapidjson::Value& value = member(m.name.data());
    expect(value.IsObject(), m.name.data(), "is not an object");
    std::apply(FieldReader(value, line_), m.members);
  }

  // The member of this name, or the next entry of a tuple.
  const rapidjson::Value& member(const char* name) {
    if (!node_.IsArray()) {
      const auto found = node_.FindMember(name);
      if (found == node_.MemberEnd()) fail(std::string("no \"") + name + "\"");
      return found->value;
    }
    expect(next_ < node_.Size(), name, "is missing from its entry");
    return node_[next_++];
  }

  void read(const rapidjson::Value& value, const char* name, mpz_class& number) {
    const char* text = value.IsString() ? value.GetString() : "";
    const char* digits = text + (*text == '-');
    expect(*digits != '\0' &&
               std::all_of(digits, text + std::strlen(text), [](char c) { return c >= '0' && c <= '9'; }),
           name, "is not an integer");
    number.set_str(text, 10);
  }
  void read(const rapidjson::Value& value, const char* name, TimeValue& millis) {
    mpz_class number;
    read(value, name, number);
    millis = TimeValue::fromMillis(number);
  }
  void read(const rapidjson::Value& value, const char* name, bool& flag) {
    expect(value.IsBool(), name, "is not true or false");
    flag = value.IsTrue();
  }
  void read(const rapidjson::Value& value, const char* name, std::string& bytes) {
    expect(value.IsString(), name, "is not a string");
    // Latin-1: each character U+0000..U+00FF stands for one byte.
    const std::string_view utf8(value.GetString(), value.GetStringLength());
    bytes.clear();
    for (std::size_t i = 0; i < utf8.size(); ++i) {
      const auto c = static_cast<unsigned char>(utf8[i]);
      const bool twoBytes = (c & 0xE0) == 0xC0 && i + 1 < utf8.size() && c <= 0xC3;
      expect(c < 0x80 || twoBytes, name, "holds a character beyond U+00FF");
      bytes += static_cast<char>(
          c < 0x80 ? c : ((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    }
  }
  template <class T>
  void read(const rapidjson::Value& value, const char* name, std::optional<T>& result) {
    result.reset();
    if (!value.IsNull()) read(value, name, result.emplace());
  }
  template <class T>
  void read(const rapidjson::Value& value, const char* name, std::vector<T>& result) {
    expect(value.IsArray(), name, "is not an array");
    result.clear();
    for (const rapidjson::Value& entry : value.GetArray()) read(entry, name, result.emplace_back());
  }
  template <class T>
  void read(const rapidjson::Value& value, const char* name, T& result) {
    if constexpr (std::is_integral_v<T>) {
      mpz_class number;
      read(value, name, number);
      expect(number >= std::numeric_limits<T>::min() && number <= std::numeric_limits<T>::max(), name,
             "is out of range");
      result = std::is_signed_v<T> ? static_cast<T>(number.get_si()) : static_cast<T>(number.get_ui());
    } else {
      constexpr bool tuple = requires {
        T::kTuple;
      };
      expect(tuple ? value.IsArray() : value.IsObject(), name,
             tuple ? "holds an entry that is not an array" : "is not an object");
      FieldReader inner(value, line_);
      result.fields(inner);
    }
  }

  const rapidjson::Value& node_;
  std::size_t line_;
  rapidjson::SizeType next_ = 0;
};

// A header names the format and its version before anything else is read:
// a record of another version may hold other members.
void checkIdentity(FieldReader& fields) {
  std::string format;
  mpz_class version;
  fields(Field{"format", format});
  if (format != kRecordFormat) fields.fail("not a game record (format \"" + format + "\")");
  fields(Field{"version", version});
  if (version != kRecordVersion) {
    fields.fail("record format version " + version.get_str() +
                " is not supported (this program reads version " + std::to_string(kRecordVersion) + ")");
  }
}

template <std::size_t I = 0>
RecordEntry readEntry(const rapidjson::Value& object, const std::string& type, std::size_t number) {
  if constexpr (I == std::variant_size_v<RecordEntry>) {
    failAtLine(number, "unknown line type \"" + type + "\"");
  } else {
    using Line = std::variant_alternative_t<I, RecordEntry>;
    if (type != Line::kType) return readEntry<I + 1>(object, type, number);
    FieldReader fields(object, number);
    if constexpr (std::is_same_v<Line, HeaderLine>) checkIdentity(fields);
    Line line;
    line.fields(fields);
    return line;
  }
}

// How deep arrays and objects nest in `text`, counted outside strings; stops
// counting past the limit.
int nesting(std::string_view text) {
  int depth = 0, deepest = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size() && deepest <= kMaxLineNesting; ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') ++i;
      inString = c != '"';
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return deepest;
}

}  // namespace

RecordEntry readRecordLine(std::string_view text, std::size_t number) {
  if (nesting(text) > kMaxLineNesting)
    failAtLine(number, "nested deeper than " + std::to_string(kMaxLineNesting) + " levels");
  rapidjson::Document document;
  document.Parse<rapidjson::kParseNumbersAsStringsFlag>(text.data(), text.size());
  if (document.HasParseError()) {
    failAtLine(number, std::string("not JSON (") + rapidjson::GetParseError_En(document.GetParseError()) +
                           " at column " + std::to_string(document.GetErrorOffset() + 1) + ")");
  }
  if (!document.IsObject()) failAtLine(number, "not a JSON object");
  std::string type;
  FieldReader(document, number)(Field{"type", type});
  return readEntry(document, type, number);
}

}  // namespace rover
