#pragma once

namespace rover {

// The project's version ("1.0.0"), as records and results files carry it.
const char* serverVersion();

}  // namespace rover
