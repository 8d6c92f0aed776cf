// replay: what a game record (server --record) can tell.
//
//   replay verify RECORD                          play the game again and compare, byte for byte
//   replay summary RECORD                         one line per run
//   replay results RECORD                         the results document the game would have written
//   replay draw RECORD --run N [--at MS] -o OUT.svg   a picture of a run
//   replay --help                                 the usage and the commands, on standard output
//
// Exit status 0 on success; 1 with one line on standard error when the
// record is unreadable, and for verify when the replay differs.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/failure.h"
#include "record/results_document.h"
#include "record_file.h"
#include "recorded_runs.h"
#include "run_picture.h"
#include "verify.h"

namespace {

constexpr const char* kUsage =
    "usage: replay verify RECORD\n"
    "       replay summary RECORD\n"
    "       replay results RECORD\n"
    "       replay draw RECORD --run N [--at MS] -o OUT.svg\n";

int usage() {
  std::fputs(kUsage, stderr);
  return 1;
}

constexpr const char* kHelp =
    "\n"
    "What a game record (server --record FILE, plain or .gz) can tell:\n"
    "  verify   play the game again and compare every message, every step's\n"
    "           state and the ending, byte for byte\n"
    "  summary  one line per run: outcome, score, time, bounces, commands\n"
    "  results  the results document the game would have written\n"
    "  draw     a picture of a run as SVG: --run N (from 1), --at MS adds the\n"
    "           rover's view at that run time, -o OUT.svg the file to write\n"
    "  --help   print this help and exit\n"
    "\n"
    "Exit status: 0 on success; 1 with one line on standard error when the\n"
    "record cannot be read, when verify finds a difference, or for a bad\n"
    "command line.\n";

// A whole number argument, or nothing.
std::optional<long long> wholeNumber(const std::string& text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  return std::stoll(text);
}

int draw(const rover::replay::RecordFile& record, const std::vector<std::string>& options) {
  std::optional<long long> run, at;
  std::string out;
  for (std::size_t i = 0; i + 1 < options.size(); i += 2) {
    if (options[i] == "--run") {
      run = wholeNumber(options[i + 1]);
      if (!run) return usage();
    } else if (options[i] == "--at") {
      at = wholeNumber(options[i + 1]);
      if (!at) return usage();
    } else if (options[i] == "-o") {
      out = options[i + 1];
    } else {
      return usage();
    }
  }
  if (!run || out.empty() || options.size() % 2 != 0) return usage();
  const std::string svg = rover::replay::drawRun(record, static_cast<int>(*run), at);
  std::ofstream file(out, std::ios::binary);
  file << svg;
  file.close();
  if (!file) {
    std::fprintf(stderr, "replay: cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("wrote %s: run %lld%s\n", out.c_str(), *run,
              at ? (" at " + std::to_string(*at) + " ms").c_str() : "");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace rover::replay;
  if (argc == 2 && std::string(argv[1]) == "--help") {
    std::fputs(kUsage, stdout);
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc < 3) return usage();
  const std::string command = argv[1];
  const std::string path = argv[2];
  const std::vector<std::string> options(argv + 3, argv + argc);
  try {
    const RecordFile record = readRecordFile(path);
    if (command == "verify" && options.empty()) {
      const Verdict verdict = verifyRecord(record);
      std::fputs((verdict.report + "\n").c_str(), verdict.identical ? stdout : stderr);
      return verdict.identical ? 0 : 1;
    }
    if (command == "summary" && options.empty()) {
      std::fputs(summaryText(readRecordedRuns(record)).c_str(), stdout);
      return 0;
    }
    if (command == "results" && options.empty()) {
      const RecordedRuns runs = readRecordedRuns(record);
      std::fputs(rover::resultsDocument(runs.info, runs.runs, runs.ending).c_str(), stdout);
      return 0;
    }
    if (command == "draw") return draw(record, options);
    return usage();
  } catch (const rover::Failure& failure) {
    std::string where = path;
    if (failure.position()) where += ":" + std::to_string(failure.position()->line);
    std::string what = failure.detail().value_or(failure.message().value_or(failure.kindName()));
    if (failure.detail() && failure.message()) what = *failure.message() + ": " + *failure.detail();
    std::fprintf(stderr, "replay: %s: %s\n", where.c_str(), what.c_str());
    return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "replay: %s: %s\n", path.c_str(), error.what());
    return 1;
  }
}
