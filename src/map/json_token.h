#pragma once

#include <cstdint>
#include <string_view>

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

// One token of the JSON lexer. Only the fields that belong to the kind are
// meaningful; `text` stays valid until the next token is read.
struct Token {
  TokenKind kind = TokenKind::EndOfInput;
  SourcePosition start;
  std::int64_t integer = 0;  // an Integer that fits in 64 bits
  bool bigInteger = false;   // an Integer beyond 64 bits, whose digits are `text`
  double real = 0.0;
  std::string_view text;  // a String's decoded content, as UTF-8
};

}  // namespace rover
