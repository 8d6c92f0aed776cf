#pragma once

#include <string>

#include "record_file.h"

namespace rover::replay {

// What replaying a record found.
struct Verdict {
  bool identical = false;
  std::string report;  // "verified: ..." or the first difference, for a person
};

// Plays the recorded game again, in the same Game on a virtual clock, with
// every read fed the bytes it consumed, and compares every line the replay
// writes (messages, step hashes, events, the ending) with the record. A
// record written by another server version is refused (a Failure).
Verdict verifyRecord(const RecordFile& record);

}  // namespace rover::replay
