#pragma once

#include <optional>
#include <string>

#include "record_reader.h"

namespace rover::replay {

// An SVG picture of one run of a record: the terrain with its craters,
// boulders and home; the rover's whole path coloured by speed; the Martians'
// paths; bounce and end markers; a legend, a scale bar and a title with the
// outcome and the score. With `atMillis`, also the rover's view ellipse at
// that moment, with the objects it saw and those hidden from it marked.
// Reads the record to its end, checked like every command's reading, and
// keeps only the run drawn. Every text taken from the record is escaped for
// XML. Fails with a detail when the record lacks the run.
std::string drawRun(RecordReader& record, int run, std::optional<long long> atMillis);

}  // namespace rover::replay
