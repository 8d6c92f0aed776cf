#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace rover {

// The byte channel to the client. The socket implementation sends on a TCP
// connection; tests use the in-memory one, so that the protocol and the game
// can be driven without a network.
class Transport {
 public:
  virtual ~Transport() = default;
  // Blocks until every byte has been accepted; raises a system error on failure.
  virtual void sendAll(const char* data, std::size_t size) = 0;
  // Never blocks: the number of bytes received (0 means the peer closed its
  // side), or nullopt when nothing is available now. Raises a system error on
  // any failure other than "would block" (interrupted calls are retried).
  virtual std::optional<std::size_t> receive(char* buffer, std::size_t capacity) = 0;
};

// A Transport over a connected socket descriptor (not owned).
class SocketTransport final : public Transport {
 public:
  explicit SocketTransport(int socket) : socket_(socket) {}
  void sendAll(const char* data, std::size_t size) override;
  std::optional<std::size_t> receive(char* buffer, std::size_t capacity) override;

 private:
  int socket_;
};

// A Transport in memory, for tests: records each sendAll call as one block and
// hands out queued input chunks one receive at a time.
class MemoryTransport final : public Transport {
 public:
  void sendAll(const char* data, std::size_t size) override;
  std::optional<std::size_t> receive(char* buffer, std::size_t capacity) override;

  // Queue bytes for later receives; a chunk bigger than a receive's capacity
  // is handed out over several receives.
  void pushInput(const std::string& bytes);
  // After the queued input is consumed, receives report end of file.
  void closeInput() { inputClosed_ = true; }

  // Everything sent so far, concatenated; and each sendAll call's block.
  std::string sent() const;
  const std::vector<std::string>& sentBlocks() const { return blocks_; }
  void clearSent() { blocks_.clear(); }
  std::size_t receiveCalls() const { return receiveCalls_; }

 private:
  std::vector<std::string> blocks_;
  std::vector<std::string> input_;
  std::size_t inputOffset_ = 0;
  bool inputClosed_ = false;
  std::size_t receiveCalls_ = 0;
};

}  // namespace rover
