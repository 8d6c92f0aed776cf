#include "command_stream_check.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "base/failure.h"
#include "framing_model.h"
#include "net/command_reader.h"
#include "net/memory_transport.h"
#include "net/realtime_input.h"

namespace rover::fuzzing {
namespace {

constexpr std::size_t kMaxRepeated = 4096;
constexpr std::size_t kMaxStream = 64 * 1024;

// Passes everything to the memory transport, noting any receive of more than
// the reader's receive size and any wait: the reader must never block.
class CheckedTransport final : public Transport {
 public:
  void sendAll(const char* data, std::size_t size) override { memory.sendAll(data, size); }
  std::optional<std::size_t> receive(char* buffer, std::size_t capacity) override {
    if (capacity > CommandReader::kReceiveSize) fault = "a receive of " + std::to_string(capacity) + " bytes";
    return memory.receive(buffer, capacity);
  }
  bool awaitInput(std::optional<std::chrono::nanoseconds> timeout) override {
    fault = "the reader waited for input";
    return memory.awaitInput(timeout);
  }

  MemoryTransport memory;
  std::string fault;
};

// Bytes as C would write them, so outcomes fit on one line of a table.
std::string printable(std::string_view bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      text += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      text += escaped;
    }
  }
  return text;
}

std::string words(const std::vector<std::string>& list) {
  std::string text = "[";
  for (const std::string& word : list) {
    if (text.size() > 1) text += ' ';
    text += printable(word);
  }
  text += ']';
  return text;
}

// "Kind: message" of the Failure `call` raised, or nullopt.
template <typename F>
std::optional<std::string> failureOf(F&& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return std::string(failure.kindName()) + ": " + printable(failure.message().value_or(""));
  }
  return std::nullopt;
}

std::optional<std::string> expected(const FramingModel::Failed& failed) {
  if (!failed) return std::nullopt;
  return "Fail: " + printable(*failed);
}

std::string describe(const std::optional<std::string>& failure) {
  return failure.value_or("no failure");
}

class Replay {
 public:
  explicit Replay(std::string_view input) : input_(input) {}

  StreamCheck run() {
    for (op_ = 0; next_ < input_.size() && !ended(); ++op_) step();
    if (!ended()) flush();
    const std::string applied = std::to_string(applied_) + " applied, accel " +
                                std::to_string(control_.accel) + ", turn " + std::to_string(control_.turn) +
                                "; ";
    return {mismatch_, applied + ending_};
  }

 private:
  bool ended() const { return !mismatch_.empty() || !ending_.empty(); }

  unsigned byte() { return next_ < input_.size() ? static_cast<unsigned char>(input_[next_++]) : 0u; }

  std::string take(std::size_t size) {
    std::string bytes(input_.substr(next_, size));
    next_ += bytes.size();
    return bytes;
  }

  void step() {
    const unsigned b = byte();
    switch (b % 4) {
      case 0:
        return push(capped(take(b / 4)));
      case 1: {
        const std::size_t times = 8 * (byte() + 1);
        const std::string pattern = take(b / 4);
        std::string chunk;
        for (std::size_t i = 0; i < times && chunk.size() < kMaxRepeated; ++i) chunk += pattern;
        chunk.resize(std::min(chunk.size(), kMaxRepeated));
        return push(capped(chunk));
      }
      case 2:
        switch (b / 4 % 4) {
          case 0:
            return poll();
          case 1:
            return drain();
          case 2:
            return read("read");
          default:
            return close();
        }
      default:
        return poll();
    }
  }

  // The input's chunks, cut off once the stream reaches its limit.
  std::string capped(std::string chunk) {
    chunk.resize(std::min(chunk.size(), kMaxStream - pushed_));
    pushed_ += chunk.size();
    return chunk;
  }

  void push(const std::string& chunk) {
    transport_.memory.pushInput(chunk);
    model_.push(chunk);
  }

  void close() {
    transport_.memory.closeInput();
    model_.close();
  }

  void poll() {
    ControlState control = control_;
    std::vector<std::string> applied;
    const auto failure = failureOf([&] { realtime_.poll(TimeValue(), control, applied); });
    FramingModel::Control modelControl = modelControl_;
    std::vector<std::string> modelApplied;
    const auto modelFailure = expected(model_.poll(modelControl, modelApplied));
    compare("poll", failure, modelFailure);
    if (applied != modelApplied)
      disagree("poll applied " + words(applied) + ", model " + words(modelApplied));
    if (control.accel != modelControl.accel || control.turn != modelControl.turn) {
      disagree("poll left accel " + std::to_string(control.accel) + " turn " + std::to_string(control.turn) +
               ", model accel " + std::to_string(modelControl.accel) + " turn " +
               std::to_string(modelControl.turn));
    }
    control_ = control;
    modelControl_ = modelControl;
    applied_ += applied.size();
  }

  void drain() {
    compare("drain", failureOf([&] { realtime_.drain(); }), expected(model_.drain()));
  }

  void read(const std::string& what) {
    std::string command;
    const auto failure = failureOf([&] { command = reader_.readCommand(); });
    std::string modelCommand;
    const auto modelFailure = expected(model_.read(modelCommand));
    compare(what, failure, modelFailure);
    if (!failure && !modelFailure && command != modelCommand) {
      disagree(what + " gave \"" + printable(command) + "\", model \"" + printable(modelCommand) + "\"");
    }
  }

  // Ends the stream so that the model must fail, and reads up to that point.
  void flush() {
    push(";");
    close();
    for (; !ended(); ++op_) read("flush read");
  }

  void compare(const std::string& what, const std::optional<std::string>& failure,
               const std::optional<std::string>& modelFailure) {
    if (!transport_.fault.empty()) disagree(what + ": " + transport_.fault);
    if (failure != modelFailure) {
      disagree(what + " raised " + describe(failure) + ", model " + describe(modelFailure));
    } else if (failure && ending_.empty()) {
      ending_ = what + " at op " + std::to_string(op_) + ": " + *failure;
    }
  }

  void disagree(const std::string& what) {
    if (mismatch_.empty()) mismatch_ = "op " + std::to_string(op_) + ": " + what;
  }

  std::string_view input_;
  std::size_t next_ = 0;
  std::size_t op_ = 0;
  std::size_t pushed_ = 0;
  CheckedTransport transport_;
  CommandReader reader_{transport_};
  RealtimeInput realtime_{reader_};
  FramingModel model_;
  ControlState control_;
  FramingModel::Control modelControl_;
  std::size_t applied_ = 0;
  std::string mismatch_;
  std::string ending_;
};

}  // namespace

StreamCheck checkCommandStream(std::string_view input) {
  return Replay(input).run();
}

}  // namespace rover::fuzzing
