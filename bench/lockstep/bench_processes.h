#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace rover::bench {

// "PROGRAM: what" on standard error, then exit status 1.
[[noreturn]] void die(const std::string& what);

// A loopback port that was free a moment ago.
int freePort();
// Runs argv with its standard output in outPath, on `cpu` alone when given.
pid_t spawn(const std::vector<std::string>& argv, const std::string& outPath, std::optional<int> cpu);
// Runs job() in a child process, on `cpu` alone when given; the child exits with job's result.
pid_t forkJob(std::optional<int> cpu, const std::function<int()>& job);
// Keeps the calling process on `cpu`, or lets it run on every processor it was started with.
void pinTo(std::optional<int> cpu);
// The first two processors this process may run on; dies when it may use only one.
std::pair<int, int> twoProcessors();

// Connects to the loopback port with TCP_NODELAY, retrying for up to 30 s.
int connectTo(int port);
std::string readFile(const std::string& path);
// Waits for the child; whether it exited with status 0.
bool exitedCleanly(pid_t pid);

}  // namespace rover::bench
