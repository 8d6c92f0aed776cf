#pragma once

#include "map/json_token.h"
#include "map/read_path.h"
#include "map/utf8_reader.h"

namespace rover {

// Splits the input into JSON tokens by longest match: whitespace and
// /* */ comments are skipped, characters that start no complete token are
// dropped silently, and a string left open at the end of the input gives the
// end-of-input token. One token is read ahead and kept until consumed.
//
// The fast path lexes whatever it can from bytes already read, and hands
// anything else (bytes beyond them, non-ASCII, comments, keywords cut short)
// to the character-by-character path, which decodes exactly the characters
// it always did: where decoding happens decides where bad UTF-8 is found.
class JsonLexer {
 public:
  explicit JsonLexer(ByteSource& source, ReadPath path = ReadPath::Fast);

  // The next token; reading it again before consume() costs nothing.
  Token& peek() {
    if (!hasToken_) readToken();
    return token_;
  }
  void consume() { hasToken_ = false; }

 private:
  void readToken();
  // Each returns false when no complete token starts at cursor_ (the
  // caller then drops one character); on success cursor_ is after the token.
  bool lexNumber();
  bool lexKeyword(const char* word, TokenKind kind);
  void lexString();
  // The fast path at cursor_: skips blanks and dropped ASCII characters and
  // returns true with a token, or false with cursor_ where the
  // character-by-character path is to take over.
  bool lexBuffered();
  // A number whose every looked-at character is buffered ASCII; false
  // (nothing changed) otherwise.
  bool lexBufferedNumber(const unsigned char* start, const unsigned char* end);
  // Sets the token from the text of a number.
  void numberToken(std::string_view text, bool real);
  // Appends the plain ASCII characters of a string from `at` on (up to a
  // quote, backslash, newline, non-ASCII byte or the end of the bytes read).
  Cursor copyPlainRun(Cursor at, std::string& text) const;
  // At "/*": true when it is a complete comment, cursor_ then after its "*/".
  bool skipComment();
  [[noreturn]] void stuck(const Cursor& at);

  ReadPath path_;
  Utf8Reader reader_;
  Cursor cursor_;
  Token token_;
  bool hasToken_ = false;
};

}  // namespace rover
