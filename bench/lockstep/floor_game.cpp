#include "floor_game.h"

#include <cstdio>
#include <exception>
#include <string>

#include "net/connection.h"
#include "net/lockstep_input.h"

namespace rover::bench {
namespace {

// A message's time: its second word ("T 100 ..." has "100"); empty for "I".
std::string_view timeOf(std::string_view message) {
  if (message.empty() || message[0] == 'I' || message.size() < 2) return {};
  const std::string_view rest = message.substr(2);
  return rest.substr(0, rest.find(' '));
}

}  // namespace

std::vector<FloorInstant> splitInstants(std::string_view stream) {
  std::vector<FloorInstant> instants;
  std::string_view previousTime;
  bool previousAlone = true;
  for (std::size_t end = stream.find(';'); end != std::string_view::npos; end = stream.find(';')) {
    const std::string_view message = stream.substr(0, end + 1);
    stream.remove_prefix(end + 1);
    const std::string_view time = timeOf(message);
    const bool alone = time.empty();
    if (instants.empty() || alone || previousAlone || time != previousTime) instants.emplace_back();
    instants.back().messages.emplace_back(message);
    if (message[0] == 'T') ++instants.back().telemetry;
    previousTime = time;
    previousAlone = alone;
  }
  return instants;
}

int playFloor(int listener, const std::vector<FloorInstant>& instants) {
  try {
    const std::unique_ptr<ClientConnection> client = acceptClient(listener);
    closeSocket(listener);
    OutputBuffer& output = client->output();
    LockstepInput input(client->transport(), LockstepOptions{});
    ControlState control;
    std::vector<std::string> applied;
    for (std::size_t k = 0; k < instants.size(); ++k) {
      const TimeValue at = TimeValue::fromMillis(static_cast<std::int64_t>(k));
      // Applies (and so forgets) the replies to earlier instants, as an input poll does.
      input.poll(at, control, applied);
      applied.clear();
      for (const std::string& message : instants[k].messages) {
        output.append(message);
        output.flush();
        output.clearText();
        if (message[0] == 'T') input.telemetrySent(at);
      }
      if (k + 1 < instants.size()) input.awaitOwedReplies();
    }
    client->close();
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "lockstep_bench: the floor failed: %s\n", failure.what());
    return 1;
  }
}

}  // namespace rover::bench
