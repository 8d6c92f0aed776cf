#include "map/json_lexer.h"

#include <array>
#include <cstddef>

#include "base/failure.h"
#include "map/number_conversion.h"

namespace rover {

namespace {

bool isDigit(char32_t c) {
  return c >= U'0' && c <= U'9';
}

bool isDigitByte(unsigned char byte) {
  return static_cast<unsigned>(byte - '0') < 10;
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

// The cursor past the character c decoded at `at`.
Cursor after(Cursor at, DecodedChar c) {
  at.skipCharacter(c.value, c.length);
  return at;
}

// The bytes that stand for themselves inside a string and move only the
// column: ASCII other than the quote, the backslash and the line feed.
constexpr std::array<bool, 256> kPlainInString = [] {
  std::array<bool, 256> plain{};
  for (int byte = 0; byte < 0x80; ++byte) plain[byte] = byte != '"' && byte != '\\' && byte != '\n';
  return plain;
}();

// A token cut off by the end of the bytes read this far from its start is
// left to the general path instead of being scanned again after the next
// block, so that a long token costs one pass.
constexpr std::ptrdiff_t kRescanLimit = 4096;

// Integers of up to this many digits fit in 64 bits whatever the digits.
constexpr std::ptrdiff_t kExactDigits = 18;

struct Keyword {
  const char* word;
  TokenKind kind;
};

Keyword keywordFor(unsigned char first) {
  if (first == 't') return {"true", TokenKind::True};
  if (first == 'f') return {"false", TokenKind::False};
  return {"null", TokenKind::Null};
}

}  // namespace

void JsonLexer::stuck(const Cursor& at) {
  raiseFail("lexer reached a stuck state", at.position());
}

void JsonLexer::readToken() {
  for (;;) {
    reader_.release(cursor_.offset);
    Lane step = lane();
    // Read on as the general path would: it decodes the byte after the last one read.
    while (step == Lane::More && reader_.fill(cursor_.offset + reader_.buffered(cursor_.offset).size())) {
      step = lane();
    }
    if (step == Lane::Token || generalStep()) return;
  }
}

JsonLexer::Lane JsonLexer::lane() {
  const std::span<const unsigned char> bytes = reader_.buffered(cursor_.offset);
  const unsigned char* const begin = bytes.data();
  const unsigned char* const end = begin + bytes.size();
  const std::uint64_t origin = cursor_.offset;
  const unsigned char* p = begin;
  const auto offsetOf = [&](const unsigned char* q) {
    return origin + static_cast<std::uint64_t>(q - begin);
  };
  // The token from p to `last`.
  const auto token = [&](TokenKind kind, const unsigned char* last) {
    cursor_.offset = offsetOf(p);
    token_.kind = kind;
    token_.start = cursor_.position();
    cursor_.skipPlain(static_cast<std::uint64_t>(last - p));
    hasToken_ = true;
    return Lane::Token;
  };
  // The token at p stopped at q: cut off by the end of the bytes read, or
  // at a byte for the general path.
  const auto stopAt = [&](const unsigned char* q) {
    cursor_.offset = offsetOf(p);
    return q == end && end - p < kRescanLimit ? Lane::More : Lane::General;
  };
  for (; p < end; ++p) {
    switch (*p) {
      case ' ':
      case '\t':
      case '\r':
        continue;
      case '\n':
        cursor_.lineFeedAt(offsetOf(p));
        continue;
      case '{':
        return token(TokenKind::LeftBrace, p + 1);
      case '}':
        return token(TokenKind::RightBrace, p + 1);
      case '[':
        return token(TokenKind::LeftBracket, p + 1);
      case ']':
        return token(TokenKind::RightBracket, p + 1);
      case ',':
        return token(TokenKind::Comma, p + 1);
      case ':':
        return token(TokenKind::Colon, p + 1);
      case '"': {
        const unsigned char* q = p + 1;
        while (q < end && kPlainInString[*q]) ++q;
        if (q == end || *q != '"') return stopAt(q);
        token_.text = {reinterpret_cast<const char*>(p + 1), static_cast<std::size_t>(q - p - 1)};
        return token(TokenKind::String, q + 1);
      }
      case 't':
      case 'f':
      case 'n': {
        const Keyword keyword = keywordFor(*p);
        const char* w = keyword.word;
        const unsigned char* q = p;
        while (*w != '\0' && q < end && *q == static_cast<unsigned char>(*w)) {
          ++q;
          ++w;
        }
        if (*w == '\0') return token(keyword.kind, q);
        if (q == end || *q >= 0x80) return stopAt(q);
        continue;  // not the word: its first letter is dropped
      }
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
      case '9': {
        // lexNumber's steps on bytes. Wherever it would decode a character
        // that is not ASCII, the general path takes the number instead, and
        // finds bad UTF-8 where lexNumber always did.
        const unsigned char* q = p;
        if (*q == '-') {
          ++q;
          if (q == end || *q >= 0x80) return stopAt(q);
          if (!isDigitByte(*q)) continue;  // a lone "-" is dropped
        }
        // "0" takes no further integer digits, so "01" is two tokens. The
        // digits' value is taken on the way, for an integer that fits.
        // Unsigned, so that a long number only wraps; its value is taken
        // from the text instead.
        const unsigned char* const digits = q;
        std::uint64_t value = 0;
        if (*q == '0') {
          ++q;
        } else {
          while (q < end && isDigitByte(*q)) value = value * 10 + static_cast<std::uint64_t>(*q++ - '0');
        }
        if (q == end || *q >= 0x80) return stopAt(q);
        bool real = false;
        if (*q == '.') {
          const unsigned char* r = q + 1;
          if (r == end || *r >= 0x80) return stopAt(r);
          if (isDigitByte(*r)) {
            while (r < end && isDigitByte(*r)) ++r;
            if (r == end || *r >= 0x80) return stopAt(r);
            q = r;
            real = true;
          }
        }
        if (*q == 'e' || *q == 'E') {
          const unsigned char* r = q + 1;
          if (r == end || *r >= 0x80) return stopAt(r);
          if (*r == '+' || *r == '-') {
            ++r;
            if (r == end || *r >= 0x80) return stopAt(r);
          }
          if (isDigitByte(*r)) {
            while (r < end && isDigitByte(*r)) ++r;
            if (r == end || *r >= 0x80) return stopAt(r);
            q = r;
            real = true;
          }
        }
        if (!real && q - digits <= kExactDigits) {
          token_.kind = TokenKind::Integer;
          token_.bigInteger = false;
          const auto magnitude = static_cast<std::int64_t>(value);
          token_.integer = *p == '-' ? -magnitude : magnitude;
        } else {
          numberToken({reinterpret_cast<const char*>(p), static_cast<std::size_t>(q - p)}, real);
        }
        return token(token_.kind, q);
      }
      case '/': {
        const unsigned char* q = p + 1;
        if (q == end || *q >= 0x80) return stopAt(q);
        if (*q != '*') continue;  // a "/" alone is dropped
        // The first comment checks the rest of the input: the general path's.
        if (!reader_.restChecked()) return stopAt(p);
        const std::uint64_t close = reader_.findCommentClose(offsetOf(p) + 2);
        if (close == Utf8Reader::kNotFound) continue;  // no comment: "/" is dropped, then "*"
        // The whole rest is buffered now, up to the end of the input.
        cursor_.offset = offsetOf(p);
        cursor_ = reader_.skipTo(cursor_, close + 2);
        p = begin + static_cast<std::ptrdiff_t>(close + 2 - origin) - 1;
        continue;
      }
      default:
        if (*p >= 0x80) return stopAt(p);
        continue;  // any other ASCII character starts no token: dropped
    }
  }
  cursor_.offset = offsetOf(end);
  return Lane::More;
}

bool JsonLexer::generalStep() {
  const DecodedChar c = reader_.decode(cursor_);
  token_.start = cursor_.position();
  TokenKind single = TokenKind::EndOfInput;
  switch (c.value) {
    case kEndOfInput:
      token_.kind = TokenKind::EndOfInput;
      hasToken_ = true;
      return true;
    case U' ':
    case U'\t':
    case U'\n':
    case U'\r':
      cursor_.skipCharacter(c.value, c.length);
      return false;
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
      return true;
    case U't':
      if (lexKeyword("true", TokenKind::True)) return true;
      break;
    case U'f':
      if (lexKeyword("false", TokenKind::False)) return true;
      break;
    case U'n':
      if (lexKeyword("null", TokenKind::Null)) return true;
      break;
    case U'/':
      if (skipComment()) return false;
      break;
    default:
      if ((c.value == U'-' || isDigit(c.value)) && lexNumber()) return true;
      break;
  }
  cursor_.skipCharacter(c.value, c.length);
  if (single == TokenKind::EndOfInput) return false;  // no complete token starts here: dropped
  token_.kind = single;
  hasToken_ = true;
  return true;
}

bool JsonLexer::lexNumber() {
  const Cursor start = cursor_;
  Cursor at = cursor_;
  DecodedChar c = reader_.decode(at);
  if (c.value == U'-') {
    at = after(at, c);
    c = reader_.decode(at);
    if (!isDigit(c.value)) return false;
  }
  // "0" takes no further integer digits, so "01" is two tokens.
  const bool leadingZero = c.value == U'0';
  at = after(at, c);
  c = reader_.decode(at);
  if (!leadingZero) {
    while (isDigit(c.value)) {
      at = after(at, c);
      c = reader_.decode(at);
    }
  }
  bool real = false;
  if (c.value == U'.') {
    Cursor probe = after(at, c);
    DecodedChar d = reader_.decode(probe);
    if (isDigit(d.value)) {
      while (isDigit(d.value)) {
        probe = after(probe, d);
        d = reader_.decode(probe);
      }
      at = probe;
      c = d;
      real = true;
    }
  }
  if (c.value == U'e' || c.value == U'E') {
    Cursor probe = after(at, c);
    DecodedChar d = reader_.decode(probe);
    if (d.value == U'+' || d.value == U'-') {
      probe = after(probe, d);
      d = reader_.decode(probe);
    }
    if (isDigit(d.value)) {
      while (isDigit(d.value)) {
        probe = after(probe, d);
        d = reader_.decode(probe);
      }
      at = probe;
      real = true;
    }
  }
  numberToken(reader_.bytesBetween(start.offset, at.offset), real);
  cursor_ = at;
  hasToken_ = true;
  return true;
}

void JsonLexer::numberToken(std::string_view text, bool real) {
  if (real) {
    token_.kind = TokenKind::Real;
    token_.real = parseRealText(text);
    return;
  }
  token_.kind = TokenKind::Integer;
  token_.bigInteger = false;
  const bool negative = text.front() == '-';
  const std::string_view digits = negative ? text.substr(1) : text;
  if (static_cast<std::ptrdiff_t>(digits.size()) <= kExactDigits) {
    std::int64_t value = 0;
    for (const char digit : digits) value = value * 10 + (digit - '0');
    token_.integer = negative ? -value : value;
    return;
  }
  // Longer: exactly, and kept as its digits when it needs more than 64 bits.
  const mpz_class value = parseIntegerText(text);
  if (mpz_fits_slong_p(value.get_mpz_t())) {
    token_.integer = value.get_si();
    return;
  }
  token_.bigInteger = true;
  token_.text = text;
}

bool JsonLexer::lexKeyword(const char* word, TokenKind kind) {
  Cursor at = cursor_;
  for (const char* p = word; *p != '\0'; ++p) {
    const DecodedChar c = reader_.decode(at);
    if (c.value != static_cast<char32_t>(*p)) return false;
    at = after(at, c);
  }
  token_.kind = kind;
  cursor_ = at;
  hasToken_ = true;
  return true;
}

Cursor JsonLexer::copyPlainRun(Cursor at) {
  const std::span<const unsigned char> bytes = reader_.buffered(at.offset);
  const unsigned char* const begin = bytes.data();
  const unsigned char* const end = begin + bytes.size();
  const unsigned char* p = begin;
  while (p < end && kPlainInString[*p]) ++p;
  text_.append(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(p - begin));
  at.skipPlain(static_cast<std::uint64_t>(p - begin));
  return at;
}

void JsonLexer::lexString() {
  text_.clear();
  Cursor at = after(cursor_, reader_.decode(cursor_));
  for (;;) {
    at = copyPlainRun(at);
    const DecodedChar c = reader_.decode(at);
    if (c.value == kEndOfInput) {
      // An unfinished string is dropped; the input simply ends.
      token_.kind = TokenKind::EndOfInput;
      token_.start = at.position();
      cursor_ = at;
      return;
    }
    const Cursor escape = at;
    at = after(at, c);
    if (c.value == U'"') break;
    if (c.value != U'\\') {
      appendUtf8(text_, c.value);
      continue;
    }
    const DecodedChar e = reader_.decode(at);
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
        at = after(at, e);
        char32_t value = 0;
        for (int i = 0; i < 4; ++i) {
          const DecodedChar h = reader_.decode(at);
          const int digit = h.value == kEndOfInput ? -1 : hexValue(h.value);
          if (digit < 0) stuck(escape);
          value = (value << 4) | static_cast<char32_t>(digit);
          at = after(at, h);
        }
        appendUtf8(text_, value);
        continue;
      }
      default:
        stuck(escape);
    }
    text_.push_back(simple);
    at = after(at, e);
  }
  token_.kind = TokenKind::String;
  token_.text = text_;
  cursor_ = at;
}

bool JsonLexer::skipComment() {
  Cursor afterSlash = cursor_;
  afterSlash.skipPlain(1);
  if (reader_.decode(afterSlash).value != U'*') return false;
  // A comment makes the reader look at everything after it, so from the
  // first one on the whole rest of the input must be valid UTF-8.
  reader_.checkRest(cursor_);
  const std::uint64_t close = reader_.findCommentClose(cursor_.offset + 2);
  if (close == Utf8Reader::kNotFound) return false;
  cursor_ = reader_.skipTo(cursor_, close + 2);
  return true;
}

}  // namespace rover
