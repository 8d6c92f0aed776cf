#pragma once

namespace rover {

// The full help that "--help" prints on standard output.
const char* helpText();

}  // namespace rover
