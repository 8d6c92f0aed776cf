#pragma once

#include <functional>
#include <string>

#include "base/failure.h"
#include "map/json_document.h"
#include "map/map_loader.h"

namespace rover::testing {

// The outcome of running something that may raise a Failure: "ok", "Kind" or
// "Kind: message", so tables can compare one string.
std::string outcomeOf(const std::function<void()>& work);

// Parses the first JSON value of `text`.
JsonDocument parseText(const std::string& text);

// Loads a map held in `text` exactly as from a file.
MapSpec loadText(const std::string& text);

// A complete valid map in which `replacements` can swap one member's text:
// minimalMap() is the small map of the format description.
std::string minimalMap();

// minimalMap() with the first occurrence of `from` replaced by `to`; the
// test fails if `from` does not occur.
std::string mapWith(const std::string& from, const std::string& to);

}  // namespace rover::testing
