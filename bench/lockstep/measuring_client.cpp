#include "measuring_client.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace rover::bench {

ClientGame answerEveryTelemetry(int socket, bool keepBytes) {
  ClientGame game;
  std::vector<char> buffer(1 << 16);
  bool atMessageStart = true;
  bool inEnd = false;
  std::string endText;
  for (;;) {
    const ssize_t got = ::recv(socket, buffer.data(), buffer.size(), 0);
    if (got <= 0) break;
    if (keepBytes) game.received.append(buffer.data(), static_cast<std::size_t>(got));
    std::string replies;
    for (ssize_t i = 0; i < got; ++i) {
      const char c = buffer[static_cast<std::size_t>(i)];
      if (atMessageStart) {
        if (c == 'T') replies += ';';
        inEnd = c == 'E';
        endText.clear();
      } else if (inEnd) {
        endText += c;
      }
      atMessageStart = c == ';';
      if (atMessageStart && inEnd) game.simulatedMs += std::atof(endText.c_str());
    }
    if (!replies.empty() && ::send(socket, replies.data(), replies.size(), MSG_NOSIGNAL) < 0) break;
  }
  ::close(socket);
  return game;
}

}  // namespace rover::bench
