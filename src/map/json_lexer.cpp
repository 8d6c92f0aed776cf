#include "map/json_lexer.h"

#include <cstring>

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

// A byte that stands for itself inside a string: ASCII other than the quote,
// the backslash and the newline (which moves the line count).
bool isPlainStringByte(unsigned char byte) {
  return byte < 0x80 && byte != '"' && byte != '\\' && byte != '\n';
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

JsonLexer::JsonLexer(ByteSource& source, ReadPath path) : path_(path), reader_(source, path) {}

void JsonLexer::stuck(const Cursor& at) {
  raiseFail("lexer reached a stuck state", at.position());
}

void JsonLexer::readToken() {
  for (;;) {
    reader_.release(cursor_.offset);
    if (path_ == ReadPath::Fast && lexBuffered()) return;
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
  numberToken(reader_.bytesBetween(start, at), real);
  cursor_ = at;
  hasToken_ = true;
  return true;
}

void JsonLexer::numberToken(std::string_view text, bool real) {
  if (real) {
    token_.kind = TokenKind::Real;
    token_.real = parseRealText(text);
  } else {
    token_.kind = TokenKind::Integer;
    parseIntegerText(text, token_.integer);
  }
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
    if (path_ == ReadPath::Fast) at = copyPlainRun(at, text);
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

bool JsonLexer::lexBuffered() {
  std::span<const unsigned char> bytes = reader_.buffered(cursor_.offset);
  const unsigned char* const begin = bytes.data();
  const unsigned char* const end = begin + bytes.size();
  const unsigned char* p = begin;
  // Positions are counted here and written back to cursor_ on every way out.
  std::uint32_t line = cursor_.line;
  std::uint32_t column = cursor_.column;
  auto settle = [&] {
    cursor_.offset += static_cast<std::uint64_t>(p - begin);
    cursor_.line = line;
    cursor_.column = column;
  };
  auto single = [&](TokenKind kind) {
    settle();
    token_.kind = kind;
    token_.start = cursor_.position();
    ++cursor_.offset;
    ++cursor_.column;
    hasToken_ = true;
    return true;
  };
  auto keyword = [&](const char* word, std::size_t length, TokenKind kind) {
    settle();
    // Cut short by the end of the bytes read, or not the word: the other path decides.
    if (static_cast<std::size_t>(end - p) < length || std::memcmp(p, word, length) != 0) return false;
    token_.kind = kind;
    token_.start = cursor_.position();
    cursor_.offset += length;
    cursor_.column += static_cast<std::uint32_t>(length);
    hasToken_ = true;
    return true;
  };
  for (; p < end; ++p) {
    switch (*p) {
      case ' ':
      case '\t':
      case '\r':
        ++column;
        continue;
      case '\n':
        ++line;
        column = 1;
        continue;
      case '{':
        return single(TokenKind::LeftBrace);
      case '}':
        return single(TokenKind::RightBrace);
      case '[':
        return single(TokenKind::LeftBracket);
      case ']':
        return single(TokenKind::RightBracket);
      case ',':
        return single(TokenKind::Comma);
      case ':':
        return single(TokenKind::Colon);
      case '"': {
        settle();
        token_.start = cursor_.position();
        hasToken_ = true;
        // A string of plain characters closed within the bytes read (every
        // key of a map) is taken whole; any other goes the general way.
        const unsigned char* close = p + 1;
        while (close < end && isPlainStringByte(*close)) ++close;
        if (close == end || *close != '"') {
          lexString();
          return true;
        }
        token_.kind = TokenKind::String;
        token_.text.assign(reinterpret_cast<const char*>(p + 1), static_cast<std::size_t>(close - p - 1));
        std::size_t length = static_cast<std::size_t>(close + 1 - p);
        cursor_.offset += length;
        cursor_.column += static_cast<std::uint32_t>(length);
        return true;
      }
      case 't':
        return keyword("true", 4, TokenKind::True);
      case 'f':
        return keyword("false", 5, TokenKind::False);
      case 'n':
        return keyword("null", 4, TokenKind::Null);
      case '-':
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
        settle();
        return lexBufferedNumber(p, end);
      case '/':
        settle();
        return false;
      default:
        if (*p >= 0x80) {
          settle();
          return false;
        }
        // Any other ASCII character starts no token: dropped.
        ++column;
        continue;
    }
  }
  settle();
  return false;
}

bool JsonLexer::lexBufferedNumber(const unsigned char* start, const unsigned char* end) {
  // The same steps as lexNumber, on bytes. Where lexNumber would decode a
  // character that is not buffered ASCII, this gives up (false): lexNumber
  // then reads or decodes it, and raises where it always did.
  auto digit = [](unsigned char byte) { return static_cast<unsigned>(byte - '0') < 10; };
  auto pastDigits = [end, digit](const unsigned char* p) {
    while (p < end && digit(*p)) ++p;
    return p;
  };
  auto unhandled = [end](const unsigned char* p) { return p == end || *p >= 0x80; };
  const unsigned char* p = start;
  if (*p == '-') {
    ++p;
    if (unhandled(p) || !digit(*p)) return false;
  }
  // "0" takes no further integer digits, so "01" is two tokens.
  p = *p == '0' ? p + 1 : pastDigits(p + 1);
  if (unhandled(p)) return false;
  bool real = false;
  if (*p == '.') {
    const unsigned char* probe = p + 1;
    if (unhandled(probe)) return false;
    if (digit(*probe)) {
      probe = pastDigits(probe);
      if (unhandled(probe)) return false;
      p = probe;
      real = true;
    }
  }
  if (*p == 'e' || *p == 'E') {
    const unsigned char* probe = p + 1;
    if (unhandled(probe)) return false;
    if (*probe == '+' || *probe == '-') {
      ++probe;
      if (unhandled(probe)) return false;
    }
    if (digit(*probe)) {
      probe = pastDigits(probe);
      if (unhandled(probe)) return false;
      p = probe;
      real = true;
    }
  }
  std::size_t length = static_cast<std::size_t>(p - start);
  numberToken(std::string_view(reinterpret_cast<const char*>(start), length), real);
  token_.start = cursor_.position();
  cursor_.offset += length;
  cursor_.column += static_cast<std::uint32_t>(length);
  hasToken_ = true;
  return true;
}

Cursor JsonLexer::copyPlainRun(Cursor at, std::string& text) const {
  std::span<const unsigned char> bytes = reader_.buffered(at.offset);
  const unsigned char* const begin = bytes.data();
  const unsigned char* const end = begin + bytes.size();
  const unsigned char* p = begin;
  while (p < end && isPlainStringByte(*p)) ++p;
  std::size_t length = static_cast<std::size_t>(p - begin);
  text.append(reinterpret_cast<const char*>(begin), length);
  at.offset += length;
  at.column += static_cast<std::uint32_t>(length);
  return at;
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
