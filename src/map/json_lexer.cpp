#include "map/json_lexer.h"

#include "base/failure.h"
#include "map/number_conversion.h"

namespace rover {

namespace {

bool isDigit(char32_t c) {
  return c >= U'0' && c <= U'9';
}

int hexValue(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a') + 10;
  if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A') + 10;
  return -1;
}

// Stores a character the way the map's strings hold text: one byte below
// 0x80, two below 0x800, three otherwise (the decoder yields at most 16 bits).
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

}  // namespace

JsonLexer::JsonLexer(ByteSource& source) : reader_(source) {}

void JsonLexer::stuck(const Cursor& at) {
  raiseFail("lexer reached a stuck state", at.position());
}

void JsonLexer::readToken() {
  for (;;) {
    reader_.release(cursor_.offset);
    DecodedChar c = reader_.decode(cursor_);
    token_.start = cursor_.position();
    TokenKind single = TokenKind::EndOfInput;
    switch (c.value) {
      case kEndOfInput:
        token_.kind = TokenKind::EndOfInput;
        hasToken_ = true;
        return;
      case U' ':
      case U'\t':
      case U'\n':
      case U'\r':
        cursor_ = Utf8Reader::advance(cursor_, c);
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
    cursor_ = Utf8Reader::advance(cursor_, c);
    if (single != TokenKind::EndOfInput) {
      token_.kind = single;
      hasToken_ = true;
      return;
    }
    // No complete token starts here: the character is dropped.
  }
}

bool JsonLexer::lexNumber() {
  Cursor start = cursor_;
  Cursor at = cursor_;
  DecodedChar c = reader_.decode(at);
  if (c.value == U'-') {
    at = Utf8Reader::advance(at, c);
    c = reader_.decode(at);
    if (!isDigit(c.value)) return false;
  }
  // "0" takes no further integer digits, so "01" is two tokens.
  bool leadingZero = c.value == U'0';
  at = Utf8Reader::advance(at, c);
  c = reader_.decode(at);
  if (!leadingZero) {
    while (isDigit(c.value)) {
      at = Utf8Reader::advance(at, c);
      c = reader_.decode(at);
    }
  }
  bool real = false;
  if (c.value == U'.') {
    Cursor probe = Utf8Reader::advance(at, c);
    DecodedChar d = reader_.decode(probe);
    if (isDigit(d.value)) {
      while (isDigit(d.value)) {
        probe = Utf8Reader::advance(probe, d);
        d = reader_.decode(probe);
      }
      at = probe;
      c = d;
      real = true;
    }
  }
  if (c.value == U'e' || c.value == U'E') {
    Cursor probe = Utf8Reader::advance(at, c);
    DecodedChar d = reader_.decode(probe);
    if (d.value == U'+' || d.value == U'-') {
      probe = Utf8Reader::advance(probe, d);
      d = reader_.decode(probe);
    }
    if (isDigit(d.value)) {
      while (isDigit(d.value)) {
        probe = Utf8Reader::advance(probe, d);
        d = reader_.decode(probe);
      }
      at = probe;
      real = true;
    }
  }
  std::string_view text = reader_.bytesBetween(start, at);
  if (real) {
    token_.kind = TokenKind::Real;
    token_.real = parseRealText(text);
  } else {
    token_.kind = TokenKind::Integer;
    token_.integer = parseIntegerText(text);
  }
  cursor_ = at;
  hasToken_ = true;
  return true;
}

bool JsonLexer::lexKeyword(const char* word, TokenKind kind) {
  Cursor at = cursor_;
  for (const char* p = word; *p != '\0'; ++p) {
    DecodedChar c = reader_.decode(at);
    if (c.value != static_cast<char32_t>(*p)) return false;
    at = Utf8Reader::advance(at, c);
  }
  token_.kind = kind;
  cursor_ = at;
  hasToken_ = true;
  return true;
}

void JsonLexer::lexString() {
  std::string& text = token_.text;
  text.clear();
  Cursor at = Utf8Reader::advance(cursor_, reader_.decode(cursor_));
  for (;;) {
    DecodedChar c = reader_.decode(at);
    if (c.value == kEndOfInput) {
      // An unfinished string is dropped; the input simply ends.
      token_.kind = TokenKind::EndOfInput;
      token_.start = at.position();
      cursor_ = at;
      return;
    }
    Cursor escape = at;
    at = Utf8Reader::advance(at, c);
    if (c.value == U'"') break;
    if (c.value != U'\\') {
      appendUtf8(text, c.value);
      continue;
    }
    DecodedChar e = reader_.decode(at);
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
        at = Utf8Reader::advance(at, e);
        char32_t value = 0;
        for (int i = 0; i < 4; ++i) {
          DecodedChar h = reader_.decode(at);
          int digit = h.value == kEndOfInput ? -1 : hexValue(h.value);
          if (digit < 0) stuck(escape);
          value = (value << 4) | static_cast<char32_t>(digit);
          at = Utf8Reader::advance(at, h);
        }
        appendUtf8(text, value);
        continue;
      }
      default:
        stuck(escape);
    }
    text.push_back(simple);
    at = Utf8Reader::advance(at, e);
  }
  token_.kind = TokenKind::String;
  cursor_ = at;
}

bool JsonLexer::skipComment() {
  Cursor afterSlash = Utf8Reader::advance(cursor_, {U'/', 1});
  if (reader_.decode(afterSlash).value != U'*') return false;
  // A comment makes the reader look at everything after it, so from the
  // first one on the whole rest of the input must be valid UTF-8.
  reader_.checkRest(cursor_);
  std::uint64_t close = reader_.findCommentClose(cursor_.offset + 2);
  if (close == Utf8Reader::kNotFound) return false;
  cursor_ = reader_.skipTo(cursor_, close + 2);
  return true;
}

}  // namespace rover
