// replay: what a game record (server --record) can tell. The usage text
// below is the one description of its command line.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/failure.h"
#include "record/results_document.h"
#include "record_reader.h"
#include "recorded_runs.h"
#include "run_picture.h"
#include "verify.h"

namespace {

constexpr const char* kUsage =
    "usage: replay verify RECORD [LIMITS]                       play the game again and compare, byte for "
    "byte\n"
    "       replay summary RECORD [LIMITS]                      one line per run\n"
    "       replay results RECORD [LIMITS]                      the results document the game would have "
    "written\n"
    "       replay draw RECORD --run N [--at MS] -o OUT.svg [LIMITS]   a picture of a run\n"
    "       replay --help                                       the usage and the commands, on standard "
    "output\n"
    "LIMITS: --max-line BYTES  the longest line read (default 64M)\n"
    "        --max-size BYTES  the most text read, after decompression (default 4G)\n"
    "        BYTES: a whole number, optionally followed by K, M or G (powers of 1024)\n"
    "Exit status: 0 done (verify: a complete record, identical); 1 a bad command line, a record that\n"
    "cannot be read, or for verify a replay that differs; 2 verify only: identical as far as the\n"
    "record goes, but it has no footer (the game did not finish).\n";

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
    "Every command stops at the first line that cannot belong to a record,\n"
    "with one line on standard error naming it.\n";

// A whole number argument, or nothing.
std::optional<long long> wholeNumber(const std::string& text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  return std::stoll(text);
}

// A size: a whole number above 0, optionally with K, M or G.
std::optional<std::uint64_t> byteCount(std::string text) {
  int shift = 0;
  if (!text.empty()) {
    const char unit = text.back();
    shift = unit == 'K' ? 10 : unit == 'M' ? 20 : unit == 'G' ? 30 : 0;
    if (shift != 0) text.pop_back();
  }
  const std::optional<long long> number = wholeNumber(text);
  if (!number || *number == 0 || static_cast<std::uint64_t>(*number) > (std::uint64_t{1} << (62 - shift)))
    return std::nullopt;
  return static_cast<std::uint64_t>(*number) << shift;
}

// The command line after the command and the record, as NAME VALUE pairs.
struct Options {
  rover::replay::ReadLimits limits;
  std::optional<long long> run, at;
  std::string out;
};

std::optional<Options> readOptions(const std::vector<std::string>& words, bool draw) {
  Options options;
  if (words.size() % 2 != 0) return std::nullopt;
  for (std::size_t i = 0; i < words.size(); i += 2) {
    const std::string& name = words[i];
    const std::string& value = words[i + 1];
    std::optional<std::uint64_t> bytes;
    if (name == "--max-line" && (bytes = byteCount(value))) {
      options.limits.maxLineBytes = *bytes;
    } else if (name == "--max-size" && (bytes = byteCount(value))) {
      options.limits.maxBytes = *bytes;
    } else if (draw && name == "--run" && (options.run = wholeNumber(value))) {
    } else if (draw && name == "--at" && (options.at = wholeNumber(value))) {
    } else if (draw && name == "-o" && !value.empty()) {
      options.out = value;
    } else {
      return std::nullopt;
    }
  }
  if (draw && (!options.run || options.out.empty())) return std::nullopt;
  return options;
}

int draw(rover::replay::RecordReader& record, const Options& options) {
  const std::string svg = rover::replay::drawRun(record, static_cast<int>(*options.run), options.at);
  std::ofstream file(options.out, std::ios::binary);
  file << svg;
  file.close();
  if (!file) {
    std::fprintf(stderr, "replay: cannot write %s\n", options.out.c_str());
    return 1;
  }
  std::printf("wrote %s: run %lld%s\n", options.out.c_str(), *options.run,
              options.at ? (" at " + std::to_string(*options.at) + " ms").c_str() : "");
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
  if (command != "verify" && command != "summary" && command != "results" && command != "draw")
    return usage();
  const std::optional<Options> options = readOptions({argv + 3, argv + argc}, command == "draw");
  if (!options) return usage();
  try {
    RecordStream stream(path, options->limits);
    RecordReader record(stream);
    if (command == "verify") {
      const Verdict verdict = verifyRecord(record);
      std::fputs((verdict.report + "\n").c_str(), verdict.status == Verdict::Differs ? stderr : stdout);
      return verdict.status;
    }
    if (command == "summary") {
      std::fputs(summaryText(readRecordedRuns(record)).c_str(), stdout);
      return 0;
    }
    if (command == "results") {
      const RecordedRuns runs = readRecordedRuns(record);
      std::fputs(rover::resultsDocument(runs.info, runs.runs, runs.ending).c_str(), stdout);
      return 0;
    }
    return draw(record, *options);
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
