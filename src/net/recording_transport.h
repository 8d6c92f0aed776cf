#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string_view>

#include "net/transport.h"

namespace rover {

// Hears every receive made on the client's connection (game records).
class ReceiveObserver {
 public:
  virtual ~ReceiveObserver() = default;
  // A receive is about to be made; a failure before received() means the
  // receive itself failed.
  virtual void receiving() = 0;
  // A receive returned bytes, or the end of the stream (empty `eof` true).
  virtual void received(std::string_view bytes, bool eof) = 0;
};

// A transport that passes everything through and tells an observer what each
// receive returned, so a record holds the raw bytes every read consumed.
class RecordingTransport final : public Transport {
 public:
  RecordingTransport(Transport& inner, ReceiveObserver& observer) : inner_(inner), observer_(observer) {}
  void sendAll(const char* data, std::size_t size) override { inner_.sendAll(data, size); }
  std::optional<std::size_t> receive(char* buffer, std::size_t capacity) override;
  bool awaitInput(std::optional<std::chrono::nanoseconds> timeout) override {
    return inner_.awaitInput(timeout);
  }

 private:
  Transport& inner_;
  ReceiveObserver& observer_;
};

}  // namespace rover
