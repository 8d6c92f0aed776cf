#pragma once

#include <string>

#include "record_reader.h"

namespace rover::replay {

// What replaying a record found; the status is replay verify's exit status.
struct Verdict {
  enum Status {
    Identical = 0,   // a complete record, identical line for line
    Differs = 1,     // a line differs, or the replay and the record part ways
    Unfinished = 2,  // identical as far as it goes, but without a footer
  };
  Status status = Differs;
  std::string report;  // "verified: ..." or the first difference, for a person
};

// Plays the recorded game again, in the same Game on a virtual clock, with
// every read fed the bytes it consumed, and compares every line the replay
// writes (messages, step hashes, events, the ending) with the record, one
// run of the record in memory at a time. A record written by another server
// version, or with a line that cannot be read, is refused (a Failure).
Verdict verifyRecord(RecordReader& record);

}  // namespace rover::replay
