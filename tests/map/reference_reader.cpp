#include "reference_reader.h"

#include <gmpxx.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "map/json_parser.h"
#include "map/json_token.h"
#include "map/number_conversion.h"

namespace rover::testing {

namespace {

constexpr char32_t kEnd = 0xFFFFFFFF;
constexpr std::size_t kBlockSize = 4096;
constexpr std::uint64_t kNotFound = UINT64_MAX;

struct Cursor {
  std::uint64_t offset = 0;
  std::uint32_t line = 1;
  std::uint32_t column = 1;
  SourcePosition position() const { return {line, column}; }
};

struct Char {
  char32_t value = kEnd;
  std::uint32_t length = 0;
};

Cursor advance(Cursor at, Char c) {
  at.offset += c.length;
  if (c.value == U'\n') {
    ++at.line;
    at.column = 1;
  } else {
    ++at.column;
  }
  return at;
}

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// 4096-byte blocks, decoded one character at a time.
class Reader {
 public:
  explicit Reader(ByteSource& source) : source_(source) {}

  Char decode(const Cursor& at) {
    if (!ensure(at.offset)) return {};
    unsigned char first = bytes_[at.offset - base_];
    if (first < 0x80) return {first, 1};
    if (isContinuation(first)) incomplete(at);
    std::uint32_t length = first < 0xE0 ? 2 : 3;
    char32_t value = first < 0xE0 ? (first & 0x1F) : (first & 0x0F);
    for (std::uint32_t i = 1; i < length; ++i) {
      if (!ensure(at.offset + i)) incomplete(at);
      unsigned char next = bytes_[at.offset + i - base_];
      if (!isContinuation(next)) incomplete(at);
      value = (value << 6) | (next & 0x3F);
    }
    return {value, length};
  }

  std::string_view bytesBetween(const Cursor& from, const Cursor& to) const {
    return {reinterpret_cast<const char*>(bytes_.data() + (from.offset - base_)),
            static_cast<std::size_t>(to.offset - from.offset)};
  }

  void release(std::uint64_t offset) {
    std::uint64_t drop = offset - base_;
    if (restChecked_ || drop < (1 << 16) || drop > bytes_.size()) return;
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(drop));
    base_ = offset;
  }

  void checkRest(const Cursor& from) {
    if (restChecked_) return;
    while (!atEnd_) ensure(base_ + bytes_.size());
    Cursor at = from;
    while (at.offset < base_ + bytes_.size()) at = advance(at, decode(at));
    restChecked_ = true;
  }

  std::uint64_t findCommentClose(std::uint64_t offset) const {
    std::string_view all(reinterpret_cast<const char*>(bytes_.data()), bytes_.size());
    std::size_t index = all.find("*/", offset - base_);
    return index == std::string_view::npos ? kNotFound : base_ + index;
  }

  Cursor skipTo(Cursor from, std::uint64_t offset) const {
    for (std::uint64_t i = from.offset; i < offset; ++i) {
      unsigned char byte = bytes_[i - base_];
      if (byte == '\n') {
        ++from.line;
        from.column = 1;
      } else if (!isContinuation(byte)) {
        ++from.column;
      }
    }
    from.offset = offset;
    return from;
  }

 private:
  bool ensure(std::uint64_t offset) {
    while (offset - base_ >= bytes_.size()) {
      if (atEnd_) return false;
      std::size_t old = bytes_.size();
      bytes_.resize(old + kBlockSize);
      std::size_t got = source_.read(bytes_.data() + old, kBlockSize);
      bytes_.resize(old + got);
      if (got == 0) atEnd_ = true;
    }
    return true;
  }

  [[noreturn]] void incomplete(const Cursor& at) {
    throw Failure(FailureKind::Incomplete).at(at.position()).because("bytes that are not valid UTF-8");
  }

  ByteSource& source_;
  std::vector<unsigned char> bytes_;
  std::uint64_t base_ = 0;
  bool atEnd_ = false;
  bool restChecked_ = false;
};

bool isDigit(char32_t c) {
  return c >= U'0' && c <= U'9';
}

int hexValue(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a') + 10;
  if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A') + 10;
  return -1;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

struct RefToken {
  TokenKind kind = TokenKind::EndOfInput;
  SourcePosition start;
  mpz_class integer;
  double real = 0.0;
  std::string text;
};

// Longest match, drops, comments: one character at a time.
class Lexer {
 public:
  explicit Lexer(ByteSource& source) : reader_(source) {}

  const RefToken& peek() {
    if (!hasToken_) readToken();
    return token_;
  }
  void consume() { hasToken_ = false; }

 private:
  void readToken() {
    for (;;) {
      reader_.release(cursor_.offset);
      Char c = reader_.decode(cursor_);
      token_.start = cursor_.position();
      TokenKind single = TokenKind::EndOfInput;
      switch (c.value) {
        case kEnd:
          token_.kind = TokenKind::EndOfInput;
          hasToken_ = true;
          return;
        case U' ':
        case U'\t':
        case U'\n':
        case U'\r':
          cursor_ = advance(cursor_, c);
          continue;
        case U'{':
          single = TokenKind::LeftBrace;
          break;
        case U'}':
          single = TokenKind::RightBrace;
          break;
        case U'[':
          single = TokenKind::LeftBracket;
          break;
        case U']':
          single = TokenKind::RightBracket;
          break;
        case U',':
          single = TokenKind::Comma;
          break;
        case U':':
          single = TokenKind::Colon;
          break;
        case U'"':
          lexString();
          hasToken_ = true;
          return;
        case U't':
          if (lexKeyword("true", TokenKind::True)) return;
          break;
        case U'f':
          if (lexKeyword("false", TokenKind::False)) return;
          break;
        case U'n':
          if (lexKeyword("null", TokenKind::Null)) return;
          break;
        case U'/':
          if (skipComment()) continue;
          break;
        default:
          if ((c.value == U'-' || isDigit(c.value)) && lexNumber()) return;
          break;
      }
      cursor_ = advance(cursor_, c);
      if (single != TokenKind::EndOfInput) {
        token_.kind = single;
        hasToken_ = true;
        return;
      }
    }
  }

  bool lexNumber() {
    Cursor start = cursor_;
    Cursor at = cursor_;
    Char c = reader_.decode(at);
    if (c.value == U'-') {
      at = advance(at, c);
      c = reader_.decode(at);
      if (!isDigit(c.value)) return false;
    }
    bool leadingZero = c.value == U'0';
    at = advance(at, c);
    c = reader_.decode(at);
    if (!leadingZero) {
      while (isDigit(c.value)) {
        at = advance(at, c);
        c = reader_.decode(at);
      }
    }
    bool real = false;
    if (c.value == U'.') {
      Cursor probe = advance(at, c);
      Char d = reader_.decode(probe);
      if (isDigit(d.value)) {
        while (isDigit(d.value)) {
          probe = advance(probe, d);
          d = reader_.decode(probe);
        }
        at = probe;
        c = d;
        real = true;
      }
    }
    if (c.value == U'e' || c.value == U'E') {
      Cursor probe = advance(at, c);
      Char d = reader_.decode(probe);
      if (d.value == U'+' || d.value == U'-') {
        probe = advance(probe, d);
        d = reader_.decode(probe);
      }
      if (isDigit(d.value)) {
        while (isDigit(d.value)) {
          probe = advance(probe, d);
          d = reader_.decode(probe);
        }
        at = probe;
        real = true;
      }
    }
    const std::string_view text = reader_.bytesBetween(start, at);
    if (real) {
      token_.kind = TokenKind::Real;
      token_.real = parseRealTextWithStrtod(text);
    } else {
      token_.kind = TokenKind::Integer;
      token_.integer.set_str(std::string(text), 10);
    }
    cursor_ = at;
    hasToken_ = true;
    return true;
  }

  bool lexKeyword(const char* word, TokenKind kind) {
    Cursor at = cursor_;
    for (const char* p = word; *p != '\0'; ++p) {
      Char c = reader_.decode(at);
      if (c.value != static_cast<char32_t>(*p)) return false;
      at = advance(at, c);
    }
    token_.kind = kind;
    cursor_ = at;
    hasToken_ = true;
    return true;
  }

  void lexString() {
    std::string& text = token_.text;
    text.clear();
    Cursor at = advance(cursor_, reader_.decode(cursor_));
    for (;;) {
      Char c = reader_.decode(at);
      if (c.value == kEnd) {
        token_.kind = TokenKind::EndOfInput;
        token_.start = at.position();
        cursor_ = at;
        return;
      }
      Cursor escape = at;
      at = advance(at, c);
      if (c.value == U'"') break;
      if (c.value != U'\\') {
        appendUtf8(text, c.value);
        continue;
      }
      Char e = reader_.decode(at);
      char simple = 0;
      switch (e.value) {
        case U'"':
          simple = '"';
          break;
        case U'\\':
          simple = '\\';
          break;
        case U'/':
          simple = '/';
          break;
        case U'b':
          simple = '\b';
          break;
        case U'f':
          simple = '\f';
          break;
        case U'n':
          simple = '\n';
          break;
        case U'r':
          simple = '\r';
          break;
        case U't':
          simple = '\t';
          break;
        case U'u': {
          at = advance(at, e);
          char32_t value = 0;
          for (int i = 0; i < 4; ++i) {
            Char h = reader_.decode(at);
            int digit = h.value == kEnd ? -1 : hexValue(h.value);
            if (digit < 0) raiseFail("lexer reached a stuck state", escape.position());
            value = (value << 4) | static_cast<char32_t>(digit);
            at = advance(at, h);
          }
          appendUtf8(text, value);
          continue;
        }
        default:
          raiseFail("lexer reached a stuck state", escape.position());
      }
      text.push_back(simple);
      at = advance(at, e);
    }
    token_.kind = TokenKind::String;
    cursor_ = at;
  }

  bool skipComment() {
    Cursor afterSlash = advance(cursor_, {U'/', 1});
    if (reader_.decode(afterSlash).value != U'*') return false;
    reader_.checkRest(cursor_);
    std::uint64_t close = reader_.findCommentClose(cursor_.offset + 2);
    if (close == kNotFound) return false;
    cursor_ = reader_.skipTo(cursor_, close + 2);
    return true;
  }

  Reader reader_;
  Cursor cursor_;
  RefToken token_;
  bool hasToken_ = false;
};

std::string describe(const RefToken& token) {
  return describeToken(token.start, static_cast<int>(token.kind), token.integer.get_str(), token.real,
                       token.text);
}

// The parser's token order, writing each value's description as it reads it.
class Describer {
 public:
  explicit Describer(ByteSource& source) : lexer_(source) {}

  std::string run() {
    for (;;) {
      if (!readValue()) {
        if (open_.back() || readMemberKey()) continue;
        close();
      }
      for (;;) {
        if (open_.empty()) return out_;
        out_ += ',';
        const bool isArray = open_.back();
        const RefToken& token = lexer_.peek();
        if (isArray) {
          if (token.kind == TokenKind::Comma) {
            lexer_.consume();
            break;
          }
          if (token.kind != TokenKind::RightBracket) raiseFail("error parsing array", token.start);
          lexer_.consume();
        } else if (token.kind == TokenKind::Comma) {
          lexer_.consume();
          if (readMemberKey()) break;
        } else {
          if (token.kind != TokenKind::RightBrace) raiseFail("error parsing object", token.start);
          lexer_.consume();
        }
        close();
      }
    }
  }

 private:
  bool readValue() {
    const RefToken& token = lexer_.peek();
    const SourcePosition at = token.start;
    out_ += place(at);
    switch (token.kind) {
      case TokenKind::True:
      case TokenKind::False:
      case TokenKind::Null:
      case TokenKind::String:
        out_ += '_';
        lexer_.consume();
        return true;
      case TokenKind::Integer:
        out_ += token.integer.get_str();
        lexer_.consume();
        return true;
      case TokenKind::Real:
        out_ += 'r' + realBits(token.real);
        lexer_.consume();
        return true;
      case TokenKind::LeftBracket:
        lexer_.consume();
        checkDepth(at);
        if (lexer_.peek().kind == TokenKind::RightBracket) {
          lexer_.consume();
          out_ += "[]";
          return true;
        }
        out_ += '[';
        checkDepth(at);
        open_.push_back(true);
        return false;
      case TokenKind::LeftBrace:
        lexer_.consume();
        out_ += '{';
        checkDepth(at);
        open_.push_back(false);
        return false;
      default:
        raiseFail("error parsing value", at);
    }
  }

  bool readMemberKey() {
    const RefToken& token = lexer_.peek();
    if (token.kind == TokenKind::String) {
      out_ += token.text + "=";
      lexer_.consume();
      const RefToken& colon = lexer_.peek();
      if (colon.kind != TokenKind::Colon) raiseFail("error parsing field", colon.start);
      lexer_.consume();
      return true;
    }
    if (token.kind == TokenKind::RightBrace) lexer_.consume();
    return false;
  }

  void close() {
    out_ += open_.back() ? ']' : '}';
    open_.pop_back();
  }

  void checkDepth(SourcePosition at) const {
    if (open_.size() >= kMaxJsonNesting) raiseFail("nesting too deep", at);
  }

  Lexer lexer_;
  std::vector<bool> open_;  // true for an array
  std::string out_;
};

}  // namespace

std::string place(SourcePosition at) {
  std::string text = "@";
  text += std::to_string(at.line);
  text += ':';
  text += std::to_string(at.column);
  return text;
}

std::string failureText(const Failure& failure) {
  std::string text = std::string("failure ") + failure.kindName();
  if (failure.message()) text += ": " + *failure.message();
  if (failure.position()) {
    text += ' ';
    text += place(*failure.position());
  }
  return text;
}

std::string realBits(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return std::to_string(bits);
}

std::string describeToken(SourcePosition start, int kind, std::string_view integer, double real,
                          std::string_view text) {
  std::string out = place(start) + " ";
  switch (static_cast<TokenKind>(kind)) {
    case TokenKind::Integer:
      out += "int ";
      out += integer;
      break;
    case TokenKind::Real:
      out += "real " + realBits(real);
      break;
    case TokenKind::String:
      out += "str ";
      out += text;
      break;
    default:
      out += "kind " + std::to_string(kind);
      break;
  }
  return out + " | ";
}

std::string referenceTokens(ByteSource& source) {
  std::string out;
  try {
    Lexer lexer(source);
    for (;;) {
      const RefToken& token = lexer.peek();
      out += describe(token);
      if (token.kind == TokenKind::EndOfInput) return out;
      lexer.consume();
    }
  } catch (const Failure& failure) {
    return out + failureText(failure);
  }
}

std::string referenceValue(ByteSource& source) {
  try {
    return Describer(source).run();
  } catch (const Failure& failure) {
    return failureText(failure);
  }
}

}  // namespace rover::testing
