#pragma once

#include <optional>
#include <string_view>

namespace rover {

// What went wrong, by kind. The kind's name is what the top-level line
// prints ("uncaught exception: Io"), so these are the only kinds there are;
// a misspelt kind cannot compile.
enum class FailureKind {
  Fail,          // the generic failure with a message (map syntax, protocol violations)
  Io,            // reading the map file
  Option,        // a number option without digits; a broken schedule
  Overflow,      // a number option out of range
  Subscript,     // an index past the end of a list
  Size,          // a length beyond what a container can hold
  Incomplete,    // bytes that are not valid UTF-8
  Match,         // a value of a shape no rule covers
  Bind,          // a binding that could not be made
  Div,           // division by zero
  Domain,        // an argument outside a function's domain
  Chr,           // a character code out of range
  Empty,         // an empty list where one entry is needed
  ClosedStream,  // a stream used after closing
  NoMemory,      // memory exhausted
  DieFailed,     // an internal consistency check
  SysErr,        // a system call's error, with its message and errno
  Usage,         // a bad command line: reported as the usage text
};

// The kind's name as reports print it ("Fail", "Io", ...).
const char* kindName(FailureKind kind);

// The kind with this name, if there is one (records name the kind of a
// failure, and a replay raises it again).
std::optional<FailureKind> kindFromName(std::string_view name);

}  // namespace rover
