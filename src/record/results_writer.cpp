#include "record/results_writer.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/failure.h"
#include "base/version.h"
#include "record/json_text.h"

namespace rover {

namespace {

[[noreturn]] void cannotWrite(const std::string& path, int code) {
  raiseSystemError("cannot write " + path + ": " + std::strerror(code), code);
}

// "dir/.name.XXXXXX" beside the target, so the final rename stays within one
// file system and is atomic.
std::string temporaryBeside(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + ".XXXXXX";
}

}  // namespace

ResultsWriter::ResultsWriter(std::string path, const GameInfo& info)
    : path_(std::move(path)), temporary_(temporaryBeside(path_)), info_(info) {
  info_.map.bytes.clear();  // only the digest is written
  fd_ = ::mkstemp(temporary_.data());
  if (fd_ < 0) cannotWrite(path_, errno);
}

ResultsWriter::~ResultsWriter() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temporary_.c_str());
  }
}

std::string ResultsWriter::document(const GameEnding& ending) const {
  std::string out = "{\n  \"format\": \"rover-results\",\n  \"version\": 1,\n  \"server\": ";
  appendJsonString(out, serverVersion());
  out += ",\n  \"map\": {\"sha256\": \"" + info_.map.sha256 + "\"},\n  \"mode\": \"";
  out += info_.lockstep ? "lockstep" : "realtime";
  out += "\",\n  \"seed\": " + std::to_string(info_.seed) + ",\n  \"reply_timeout_ms\": ";
  out += info_.replyTimeoutMillis ? std::to_string(*info_.replyTimeoutMillis) : "null";
  out += ",\n  \"runs\": [";
  mpz_class total = 0;
  for (std::size_t i = 0; i < runs_.size(); ++i) {
    const RunReport& run = runs_[i];
    total += run.scoreMillis;
    out += i > 0 ? ",\n    " : "\n    ";
    out += "{\"number\": " + std::to_string(run.number) + ", \"outcome\": \"" + outcomeText(run.outcome) +
           "\", \"code\": " + std::to_string(static_cast<int>(run.outcome)) + ", \"score\": ";
    appendJsonInteger(out, run.scoreMillis);
    out += ", \"run_ms\": ";
    appendJsonInteger(out, run.runMillis);
    out += ", \"bounces\": {\"boulder\": " + std::to_string(run.boulderBounces) +
           ", \"wall\": " + std::to_string(run.wallBounces) +
           "}, \"commands\": " + std::to_string(run.commands) +
           ", \"late_replies\": " + std::to_string(run.lateReplies) + "}";
  }
  out += runs_.empty() ? "],\n  \"status\": \"" : "\n  ],\n  \"status\": \"";
  out += statusName(ending.status);
  out += '"';
  if (ending.status == GameEnding::Status::Failed) {
    out += ",\n  \"line\": ";
    appendJsonString(out, ending.line);
    out += ",\n  \"message\": ";
    if (ending.failure && ending.failure->message()) {
      appendJsonString(out, *ending.failure->message());
    } else {
      out += "null";
    }
  }
  out += ",\n  \"total_score\": ";
  appendJsonInteger(out, total);
  out += "\n}\n";
  return out;
}

void ResultsWriter::finish(const GameEnding& ending) {
  if (fd_ < 0) return;
  const std::string text = document(ending);
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(fd_, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      cannotWrite(path_, errno);
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  // Readable by everyone, like a file made the ordinary way (mkstemp makes 0600).
  ::fchmod(fd_, 0644);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 || ::rename(temporary_.c_str(), path_.c_str()) != 0) {
    const int code = errno;
    ::unlink(temporary_.c_str());
    cannotWrite(path_, code);
  }
}

}  // namespace rover
