#pragma once

namespace rover::client {

/// The server's words for how a run ended, from the event that ended it
/// ('S', 'C' or 'K'; anything else, such as 0 for none, is the time limit).
const char* outcomeText(char ending);

}  // namespace rover::client
