#pragma once

#include <string>
#include <string_view>

namespace rover {

// Makes any bytes safe to print inside one line of a report: "\" becomes
// "\\", a newline "\n", a tab "\t", a carriage return "\r", and every other
// control character or byte above 0x7e "\xNN" (two lower-case hex digits).
// Other bytes stay as they are, so a client's text stays readable and can
// never start a line of its own.
std::string escapeLine(std::string_view bytes);

}  // namespace rover
