#pragma once

// The map reader as it was before its lane and its document storage: every
// character decoded one at a time, tokens and values described instead of
// built. Kept here as the oracle that json_reader_test checks the reader
// against, with the descriptions both sides share.

#include <string>
#include <string_view>

#include "base/failure.h"
#include "base/source_position.h"
#include "map/byte_source.h"

namespace rover::testing {

std::string place(SourcePosition at);             // "@line:column"
std::string failureText(const Failure& failure);  // "failure Kind: message @line:column"
std::string realBits(double value);               // reals by their bits: rounding and -0.0 show

// A token as "@line:column kind detail | ". `integer` is the decimal text of
// an Integer's value, `text` a String's content.
std::string describeToken(SourcePosition start, int kind, std::string_view integer, double real,
                          std::string_view text);

// Every token up to the end of the input or the first failure.
std::string referenceTokens(ByteSource& source);

// The first value as "@line:column" and its content: "_" for other values,
// the integer, "r" and a real's bits, "[" elements each followed by ","
// "]", "{" members as key "=" value "," "}"; or the failure.
std::string referenceValue(ByteSource& source);

}  // namespace rover::testing
