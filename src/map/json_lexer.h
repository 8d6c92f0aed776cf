#pragma once

#include "map/json_token.h"
#include "map/utf8_reader.h"

namespace rover {

// Splits the input into JSON tokens by longest match: whitespace and
// /* */ comments are skipped, characters that start no complete token are
// dropped silently, and a string left open at the end of the input gives the
// end-of-input token. One token is read ahead and kept until consumed.
class JsonLexer {
 public:
  explicit JsonLexer(ByteSource& source);

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
  // At "/*": true when it is a complete comment, cursor_ then after its "*/".
  bool skipComment();
  [[noreturn]] void stuck(const Cursor& at);

  Utf8Reader reader_;
  Cursor cursor_;
  Token token_;
  bool hasToken_ = false;
};

}  // namespace rover
