// The server's output files (--record, --results, --timing) end to end: a path that
// would destroy something is refused before the socket opens, with nothing
// changed; a record that cannot be written (a full disk: a small tmpfs the
// test mounts) still leaves a results file that says so, and no temporary.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace rover::e2e {
namespace {

namespace fs = std::filesystem;

// Every entry of a folder: its kind and, for a regular file, its bytes.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
  std::map<std::string, std::string> entries;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const fs::file_status status = entry.symlink_status();
    std::string what = fs::is_symlink(status)     ? "link to " + fs::read_symlink(entry.path()).string()
                       : fs::is_fifo(status)      ? "fifo"
                       : fs::is_directory(status) ? "folder"
                                                  : "file: " + readFile(entry.path().string());
    entries[entry.path().filename().string()] = what;
  }
  return entries;
}

// A scratch folder with a map, a FIFO, a file worth keeping, a folder and a
// link to the map; removed afterwards.
class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/rover_outputs_XXXXXX";
    path_ = ::mkdtemp(pattern);
    std::ofstream(path_ / "m.json") << quickMap().json();
    std::ofstream(path_ / "old.jsonl") << "a record worth keeping\n";
    ::mkfifo((path_ / "fifo").c_str(), 0644);
    fs::create_directory(path_ / "dir");
    fs::create_symlink("m.json", path_ / "link.json");
  }
  ~Scratch() { fs::remove_all(path_); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

struct RefusalCase {
  const char* name;
  std::vector<std::string> options;  // {} around a name: a file in the scratch folder
  const char* refused;               // the path in the line, in the scratch folder
  const char* reason;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
  *out << c.name;
}

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

// One line, status 1, no waiting line (the socket never opened), and the
// folder exactly as it was: nothing created, emptied or replaced.
TEST_P(Refusals, ChangeNothing) {
  Scratch dir;
  // A port of its own: a server that wrongly went on would not take 17676.
  std::vector<std::string> args{"-p", std::to_string(testing::freePort())};
  for (const std::string& option : GetParam().options) {
    args.push_back(option.front() == '{' ? dir.file(option.substr(1, option.size() - 2)) : option);
  }
  args.push_back(dir.file("m.json"));
  const std::map<std::string, std::string> before = snapshot(dir.path());
  const Ending ending = runWithoutClient(args);
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.out, "");
  EXPECT_EQ(ending.err,
            "ERROR: cannot write " + dir.file(GetParam().refused) + ": " + GetParam().reason + "\n");
  EXPECT_EQ(snapshot(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    OutputFiles, Refusals,
    ::testing::Values(
        RefusalCase{"ResultsToAFifo", {"--results", "{fifo}"}, "fifo", "not a regular file (a FIFO)"},
        RefusalCase{"RecordToAFifo", {"--record", "{fifo}"}, "fifo", "not a regular file (a FIFO)"},
        RefusalCase{"ResultsOverTheMap", {"--results", "{m.json}"}, "m.json", "it is the map file"},
        RefusalCase{
            "RecordOverTheMapThroughALink", {"--record", "{link.json}"}, "link.json", "it is the map file"},
        RefusalCase{"RecordAndResultsInOneFile",
                    {"--record", "{old.jsonl}", "--results", "{old.jsonl}"},
                    "old.jsonl",
                    "it is also the --record file"},
        RefusalCase{"RecordAndResultsInOneNewFile",
                    {"--results", "{dir/../new.json}", "--record", "{new.json}"},
                    "dir/../new.json",
                    "it is also the --record file"},
        RefusalCase{"ResultsToAFolder", {"--results", "{dir}"}, "dir", "not a regular file (a folder)"},
        // The record passed, but nothing is emptied before every output has.
        RefusalCase{"GoodRecordBadResults",
                    {"--record", "{old.jsonl}", "--results", "{m.json}"},
                    "m.json",
                    "it is the map file"},
        RefusalCase{"TimingToAFifo", {"--timing", "{fifo}"}, "fifo", "not a regular file (a FIFO)"},
        RefusalCase{
            "TimingOverTheMapThroughALink", {"--timing", "{link.json}"}, "link.json", "it is the map file"},
        RefusalCase{"TimingAndResultsInOneNewFile",
                    {"--results", "{new.json}", "--timing", "{dir/../new.json}"},
                    "dir/../new.json",
                    "it is also the --results file"},
        RefusalCase{"TimingOverTheRecord",
                    {"--timing", "{old.jsonl}", "--record", "{old.jsonl}"},
                    "old.jsonl",
                    "it is also the --record file"},
        // Record and results passed: neither is emptied nor created.
        RefusalCase{"GoodRecordAndResultsBadTiming",
                    {"--record", "{old.jsonl}", "--results", "{new.json}", "--timing", "{dir}"},
                    "dir",
                    "not a regular file (a folder)"}),
    [](const auto& info) { return std::string(info.param.name); });

// A tmpfs of the given size and options, mounted for one test (root only;
// skipped elsewhere) and unmounted after it.
class SmallDisk : public ::testing::Test {
 protected:
  void mountDisk(const std::string& options, unsigned long flags = 0) {
    char pattern[] = "/tmp/rover_disk_XXXXXX";
    disk_ = ::mkdtemp(pattern);
    if (::mount("tmpfs", disk_.c_str(), "tmpfs", flags, options.c_str()) != 0) {
      fs::remove(disk_);
      disk_.clear();
      GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) ::umount2(disk_.c_str(), MNT_DETACH);
    if (!disk_.empty()) fs::remove_all(disk_);
  }
  std::string onDisk(const std::string& name) const { return disk_ + "/" + name; }
  std::vector<std::string> diskEntries() const {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(disk_))
      names.push_back(entry.path().filename());
    return names;
  }

  std::string disk_;
  bool mounted_ = false;
};

std::string answerEveryT(int) {
  return ";";
}

// The record fills the disk at the first run's end: the game ends there as
// before, and the results file, elsewhere, says the game failed by it and
// lists that run; so does the timing file. With the results and the timing
// file on the full disk too, standard error still holds one line, the
// record's, and no temporary is left.
TEST_F(SmallDisk, ARecordThatCannotBeWrittenLeavesResultsThatSaySo) {
  mountDisk("size=16k");
  if (!mounted_) return;
  Scratch dir;
  const std::string line = "ERROR: cannot write " + onDisk("g.jsonl") + ": No space left on device (nospc)";
  const Played elsewhere = playAnswering(bumpyMap().json(), answerEveryT,
                                         {"--lockstep", "--reply-timeout", "0", "--record", onDisk("g.jsonl"),
                                          "--results", dir.file("r.json"), "--timing", dir.file("t.json")},
                                         2);
  EXPECT_EQ(elsewhere.ending.status, 1);
  EXPECT_EQ(elsewhere.ending.err, line + "\n");
  const std::string results = readFile(dir.file("r.json"));
  EXPECT_NE(results.find("\"runs\": [\n    {\"number\": 1, "), std::string::npos) << results;
  EXPECT_NE(
      results.find("\"status\": \"failed\",\n  \"line\": \"" + line + "\",\n  \"message\": \"cannot write " +
                   onDisk("g.jsonl") + ": No space left on device\""),
      std::string::npos)
      << results;
  const std::string timing = readFile(dir.file("t.json"));
  EXPECT_NE(timing.find("\"runs\": [\n    {\"number\": 1, \"ended\": true, "), std::string::npos) << timing;
  EXPECT_NE(timing.find("\"status\": \"failed\"\n}\n"), std::string::npos) << timing;
  EXPECT_EQ(diskEntries(), std::vector<std::string>{"g.jsonl"});

  fs::remove(onDisk("g.jsonl"));
  const Played both = playAnswering(bumpyMap().json(), answerEveryT,
                                    {"--lockstep", "--reply-timeout", "0", "--record", onDisk("g.jsonl"),
                                     "--results", onDisk("r.json"), "--timing", onDisk("t.json")},
                                    2);
  EXPECT_EQ(both.ending.status, 1);
  EXPECT_EQ(both.ending.err, line + "\n");
  EXPECT_EQ(diskEntries(), std::vector<std::string>{"g.jsonl"});
}

// An output that cannot be created (on a read-only disk) is found before
// the socket opens, and what the server had created for the other outputs
// is removed again: the record file, the results or timing file's temporary.
TEST_F(SmallDisk, ARefusalRemovesWhatTheServerCreated) {
  mountDisk("size=16k", MS_RDONLY);
  if (!mounted_) return;
  Scratch dir;
  const std::map<std::string, std::string> before = snapshot(dir.path());
  const std::vector<std::string> names{"new.jsonl", "r.json", "t.json"};
  for (std::size_t onReadOnly = 0; onReadOnly < names.size(); ++onReadOnly) {
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < names.size(); ++i)
      paths.push_back(i == onReadOnly ? onDisk(names[i]) : dir.file(names[i]));
    const Ending ending = runWithoutClient({"-p", std::to_string(testing::freePort()), "--record", paths[0],
                                            "--results", paths[1], "--timing", paths[2], dir.file("m.json")});
    EXPECT_EQ(ending.status, 1);
    EXPECT_EQ(ending.out, "");
    EXPECT_EQ(ending.err, "ERROR: cannot write " + paths[onReadOnly] + ": Read-only file system (rofs)\n");
    EXPECT_EQ(snapshot(dir.path()), before);
  }
}

}  // namespace
}  // namespace rover::e2e
