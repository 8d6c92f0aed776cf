#include "driver/help_text.h"

namespace rover {

const char* helpText() {
  return R"(usage: server [-v] [-p port] [options] file

Plays every run of the map in `file` against one controller that connects
over TCP, prints "Round N: <outcome>; score = <ms>" per run and exits with
status 0 after the last run (1 on any failure).

  -v                  window mode: show the world in a window; the server
                      stays up after the last run until q is pressed in it
  -p port             TCP port to listen on (default 17676)
  --lockstep          play faster than real time: simulated time waits for
                      the controller, which answers every T message with
                      exactly one reply ended by a bare ";" (e.g. "a;;" or
                      ";"); text mode only
  --reply-timeout MS  lockstep: how long to wait for each reply before the
                      game goes on as if it were empty (default 10000;
                      0 waits forever, which makes the game a pure function
                      of the map, the seed and the controller's bytes)
  --seed N            seed of the Martians' random choices, 0 to 2^64-1
                      (default 0); the same seed replays the same Martians
  --record FILE       write a game record (JSON Lines; gzip when FILE ends
                      with .gz) for replay, audit and the viewer
  --results FILE      write the results as one JSON document when the game ends
  --help              print this help and exit

Options come before the map file, which is always the last argument. Values
of the long options are plain decimal digits.

Socket activation: when LISTEN_PID is the server's pid and LISTEN_FDS is 1,
the server takes fd 3 as its listening socket (IPv4 or IPv6) instead of
opening one, and -p is ignored; this is the only use it makes of the
environment.

Examples:
  server maps/open_plain.json
  server --lockstep --reply-timeout 0 --seed 7 maps/martian_patrol.json
  server --lockstep --record game.jsonl.gz --results results.json maps/crater_field.json

The wire protocol is described in docs/protocol.md.
)";
}

}  // namespace rover
