#pragma once

#include <gmpxx.h>

#include <string>

#include "base/source_position.h"

namespace rover {

enum class TokenKind {
  LeftBrace,
  RightBrace,
  LeftBracket,
  RightBracket,
  Comma,
  Colon,
  True,
  False,
  Null,
  Integer,
  Real,
  String,
  EndOfInput,
};

// One token of the JSON lexer. Only the field that belongs to the kind is meaningful.
struct Token {
  TokenKind kind = TokenKind::EndOfInput;
  SourcePosition start;
  mpz_class integer;
  double real = 0.0;
  std::string text;  // a string's decoded content, as UTF-8
};

}  // namespace rover
