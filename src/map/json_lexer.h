#pragma once

#include <string>

#include "map/json_token.h"
#include "map/utf8_reader.h"

namespace rover {

// Splits the input into JSON tokens by longest match: whitespace and
// /* */ comments are skipped, characters that start no complete token are
// dropped silently, and a string left open at the end of the input gives the
// end-of-input token. One token is read ahead and kept until consumed.
//
// Most of the input goes through the lane, which works on the bytes already
// read: it skips blanks, dropped ASCII and (once the first comment has
// checked the rest of the input) comments, and takes a token that lies
// whole within those bytes and is plain ASCII. Everything else (bytes not
// yet read, non-ASCII, escapes, the first comment, keywords cut short) goes
// character by character through the general path, which decodes exactly
// the characters the reader's rules make it decode: where decoding happens
// decides where bad UTF-8 is found.
class JsonLexer {
 public:
  explicit JsonLexer(ByteSource& source) : reader_(source) {}

  // The next token; reading it again before consume() costs nothing.
  const Token& peek() {
    if (!hasToken_) readToken();
    return token_;
  }
  void consume() { hasToken_ = false; }

 private:
  // What the lane did: found a token, ran out of bytes read at or inside
  // one, or stopped where the general path must take one step.
  enum class Lane { Token, More, General };

  void readToken();
  // The lane at cursor_; cursor_ ends after the token or where it stopped.
  Lane lane();
  // The general path: one character or token at cursor_; true with a token.
  bool generalStep();
  // Each returns false when no complete token starts at cursor_ (the
  // caller then drops one character); on success cursor_ is after the token.
  bool lexNumber();
  bool lexKeyword(const char* word, TokenKind kind);
  void lexString();
  // Appends the plain ASCII characters of a string from `at` on that are
  // already read (up to a quote, backslash, line feed or other byte), and
  // returns the cursor after them.
  Cursor copyPlainRun(Cursor at);
  // At "/*": true when it is a complete comment, cursor_ then after its "*/".
  bool skipComment();
  // The token from a number's text.
  void numberToken(std::string_view text, bool real);
  [[noreturn]] void stuck(const Cursor& at);

  Utf8Reader reader_;
  Cursor cursor_;
  Token token_;
  std::string text_;  // a string's text decoded by the general path
  bool hasToken_ = false;
};

}  // namespace rover
