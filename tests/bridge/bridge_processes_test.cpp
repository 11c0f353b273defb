// Other processes on the same files. A child process enrols, identifies and re-defines custom
// gestures until it is killed (SIGKILL) at a random moment; after each kill the files must be
// intact, every operation the child saw complete must be there whole, and none may be
// half-written (GESTAL_CRASH_TRIALS sets the number of kills, 20 by default). Two processes
// starting at once on a new directory each report every write that failed, and everything they
// report stored is.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/SampleText.h"
#include "gestal.h"
#include "support/DatabaseFile.h"
#include "support/TempDir.h"
#include "synth/MotionSynth.h"

namespace {

using namespace GestalTest;
using GestalPrivate::MotionSample;

enum Kind { kEnrol = 0, kIdentify = 1, kCustom = 2 };
constexpr int32_t kIdentifiedAction = 1;
constexpr int kCustomPieces = 3;

// The recording of operation `id`: the same motion every time, with the id in the secondary
// vector, which is stored but never matched.
MotionSample recordingOf(const MotionSample& motion, int64_t id) {
  MotionSample sample = motion;
  for (auto& entry : sample) entry[GestalPrivate::kSecondaryX] = static_cast<float>(id);
  return sample;
}

int32_t keyOf(Kind kind, int64_t step) {
  const int32_t alternate = static_cast<int32_t>(step / 3 % 2);
  return kind == kEnrol ? 2 + alternate : kind == kCustom ? 7 + alternate : kIdentifiedAction;
}

// Everything written to a pipe until its last writer is gone.
std::string readAll(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  ::close(fd);
  return text;
}

int pipeOut = -1;
void say(const std::string& line) {
  const std::string text = line + "\n";
  if (::write(pipeOut, text.data(), text.size()) < 0) _exit(3);
}

float enrolProgress = 0.0f;
int32_t lastError = 0;
void onEnrol(GestalAction*, GestalStatusBlock* status, float progress, int32_t*) {
  lastError = GetErrorType(status);
  enrolProgress = progress;
}
void onIdentify(GestalAction*, GestalStatusBlock* status, int32_t, int32_t) {
  lastError = GetErrorType(status);
}

// Defines custom gesture `key` as `count` copies of one recording.
void defineCustom(GestalHandle handle, int32_t key, const std::vector<float>& data, int count) {
  std::vector<float> pieces;
  for (int i = 0; i < count; ++i) pieces.insert(pieces.end(), data.begin(), data.end());
  const std::vector<int32_t> lengths(count, static_cast<int32_t>(data.size() / 10));
  const std::vector<int32_t> entryLengths(count, 10);
  SetCustomGesture(handle, key, pieces.data(), count, lengths.data(), entryLengths.data());
}

// The child: operations one after another until it is killed. Each is announced before it starts
// and confirmed once its call has returned with the expected answer.
[[noreturn]] void runChild(const std::string& dir, const MotionSample& motion,
                           const MotionSample& stranger, int64_t firstId) {
  std::freopen("/dev/null", "w", stdout);
  std::freopen("/dev/null", "w", stderr);
  GestalHandle handle = GetControllerHelperObject(dir.data(), dir.size());
  if (handle == nullptr) {
    say("fail create");
    _exit(1);
  }
  const std::vector<float> unknown = GestalSynth::flatten(stranger);
  for (int64_t step = 0;; ++step) {
    const int64_t id = firstId + step;
    const Kind kind = static_cast<Kind>(step % 3);
    const int32_t key = keyOf(kind, step);
    const std::vector<float> data = GestalSynth::flatten(recordingOf(motion, id));
    const uint64_t entries = data.size() / 10;
    say("start " + std::to_string(kind) + " " + std::to_string(key) + " " + std::to_string(id));
    bool completed = false;
    if (kind == kEnrol) {
      for (int i = 0; i < 3; ++i) AddSignature(handle, key, data.data(), entries, 10, onEnrol);
      completed = lastError == 0 && enrolProgress == 1.0f;
    } else if (kind == kIdentify) {
      IdentifySignature(handle, unknown.data(), unknown.size() / 10, 10, &key, 1, onIdentify);
      completed = lastError == GESTAL_ERROR_NO_MATCH;
    } else {
      defineCustom(handle, key, data, kCustomPieces);
      completed = true;
    }
    say((completed ? "done " : "fail ") + std::to_string(id));
  }
}

// What the parent knows: per kind and key, the operation last seen stored (its id, or for
// identifications the number of failure records).
using Knowledge = std::map<std::pair<int, int32_t>, int64_t>;

struct InFlight {
  Kind kind;
  int32_t key;
  int64_t id;
};

class OtherProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    const GestalSynth::User user = GestalSynth::makeUser(41);
    motion_ = GestalSynth::perform(user, GestalSynth::Shape::Signature, 1);
    stranger_ = GestalSynth::perform(user, GestalSynth::Shape::ZigZag, 2);
  }

  // The ids of the stored rows of an enrolment's or custom gesture's key, each decoded from its
  // text, which must be the stored form of that operation's recording.
  std::vector<int64_t> storedIds(const std::string& dir, Kind kind, int32_t key) {
    const std::string k = std::to_string(key);
    const Rows rows =
        kind == kEnrol
            ? readRows(dir + "gestal.db",
                       "select signature from sign where item_no = " + k + " order by rowid")
            : readRows(dir + "gestal_custom.db",
                       "select data from custom_gesture_simples where gesture_index = '" + k +
                           "' order by rowid");
    std::vector<int64_t> ids;
    for (const auto& row : rows) {
      const MotionSample sample =
          GestalPrivate::readSampleText(row[0], GestalPrivate::NullValues::Reject);
      const int64_t id = static_cast<int64_t>(sample.front()[GestalPrivate::kSecondaryX]);
      EXPECT_EQ(row[0], GestalPrivate::writeSampleText(recordingOf(motion_, id)));
      ids.push_back(id);
    }
    return ids;
  }

  // Checks one key after a kill and records what is stored now.
  void checkKey(const std::string& dir, Kind kind, int32_t key,
                const std::optional<InFlight>& flight, Knowledge& known, int& committedInFlight) {
    const auto slot = std::make_pair(static_cast<int>(kind), key);
    const bool inFlight = flight && flight->kind == kind && flight->key == key;
    const auto before = known.find(slot);
    if (kind == kIdentify) {
      const int64_t count = std::stoll(readRows(
          dir + "gestal.db",
          "select count(*) from verify_history where action_index = " + std::to_string(key))[0][0]);
      const int64_t expected = before == known.end() ? 0 : before->second;
      EXPECT_TRUE(count == expected || (inFlight && count == expected + 1))
          << "failure records " << count << ", expected " << expected;
      committedInFlight += inFlight && count == expected + 1;
      known[slot] = count;
      return;
    }
    const std::vector<int64_t> ids = storedIds(dir, kind, key);
    if (ids.empty()) {
      EXPECT_EQ(before, known.end()) << "a completed operation was lost";
      return;
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kind == kEnrol ? 3 : kCustomPieces))
        << "half-written";
    for (int64_t id : ids) EXPECT_EQ(id, ids.front()) << "two operations mixed";
    const bool isOld = before != known.end() && before->second == ids.front();
    const bool isNew = inFlight && flight->id == ids.front();
    EXPECT_TRUE(isOld || isNew) << "holds operation " << ids.front();
    committedInFlight += isNew;
    known[slot] = ids.front();
  }

  MotionSample motion_;
  MotionSample stranger_;
};

TEST_F(OtherProcesses, KilledAtRandomMomentsLosesAndHalfWritesNothing) {
  const char* setting = std::getenv("GESTAL_CRASH_TRIALS");
  const int trials = setting != nullptr ? std::atoi(setting) : 20;
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayMicros(0, 300000);

  std::optional<TempDir> dir;
  Knowledge known;
  int completed = 0;
  int killedInFlight = 0;
  int committedInFlight = 0;
  for (int trial = 0; trial < trials; ++trial) {
    if (trial % 10 == 0) {
      dir.emplace();
      known = Knowledge{};
    }
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(fds[0]);
      pipeOut = fds[1];
      runChild(dir->path(), motion_, stranger_, int64_t{trial} * 100000);
    }
    ::close(fds[1]);
    ::usleep(static_cast<useconds_t>(delayMicros(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself";

    std::istringstream lines(readAll(fds[0]));
    std::optional<InFlight> flight;
    for (std::string word; lines >> word;) {
      if (word == "start") {
        int kind = 0;
        InFlight op{};
        lines >> kind >> op.key >> op.id;
        op.kind = static_cast<Kind>(kind);
        flight = op;
      } else {
        std::string rest;
        lines >> rest;
        ASSERT_EQ(word, "done") << word << " " << rest;
        const InFlight op = *flight;
        flight.reset();
        ++completed;
        // A completed operation is the newest state of its key.
        const auto slot = std::make_pair(static_cast<int>(op.kind), op.key);
        known[slot] = op.kind == kIdentify ? known[slot] + 1 : op.id;
      }
    }
    killedInFlight += flight.has_value();

    const std::string path = dir->path();
    for (const char* file : {"gestal.db", "gestal_custom.db"}) {
      if (!std::filesystem::exists(path + file)) continue;
      EXPECT_EQ(readRows(path + file, "PRAGMA integrity_check"), (Rows{{"ok"}})) << file;
      EXPECT_EQ(readRows(path + file, "select count(*) from sqlite_master"),
                (Rows{{file == std::string("gestal.db") ? "4" : "1"}}))
          << file << " exists without its tables";
    }
    if (!std::filesystem::exists(path + "gestal_custom.db")) continue;
    for (int32_t key : {2, 3}) checkKey(path, kEnrol, key, flight, known, committedInFlight);
    for (int32_t key : {7, 8}) checkKey(path, kCustom, key, flight, known, committedInFlight);
    checkKey(path, kIdentify, kIdentifiedAction, flight, known, committedInFlight);
    if (HasFailure()) break;
  }
  if (HasFailure()) return;
  std::printf(
      "%d kills: %d operations completed, %d in flight at the kill (%d of them committed), "
      "0 lost, 0 half-written\n",
      trials, completed, killedInFlight, committedInFlight);
}

// Size of the file behind a descriptor: it grows by a line whenever the library reports a failure.
long long sizeOf(int fd) {
  struct stat status {};
  ::fstat(fd, &status);
  return static_cast<long long>(status.st_size);
}

// One of the two processes: custom gesture 50 (shared) and 60 + c, and action 10 + c, stored over
// and over; each outcome reported as "<kind> <key> <id> ok|failed".
[[noreturn]] void runRival(int c, const std::string& dir, const MotionSample& motion, int go) {
  char start = 0;
  if (::read(go, &start, 1) != 1) _exit(2);
  std::freopen("/dev/null", "w", stdout);
  GestalHandle handle = GetControllerHelperObject(dir.data(), dir.size());
  if (handle == nullptr) {
    say("1 0 0 failed");
    _exit(1);
  }
  for (int i = 0; i < 12; ++i) {
    const int64_t id = c * 1000 + i;
    const std::vector<float> data = GestalSynth::flatten(recordingOf(motion, id));
    const uint64_t entries = data.size() / 10;
    const long long errorsBefore = sizeOf(2);
    std::string outcome;
    if (i % 3 == 2) {
      float progress = 0.0f;
      bool failed = false;
      for (int k = 0; k < 3; ++k) {
        AddSignature(handle, 10 + c, data.data(), entries, 10, onEnrol);
        failed = failed || lastError == GESTAL_ERROR_ENGINE_FAILURE;
        progress = enrolProgress;
      }
      if (failed || progress == 1.0f) {
        outcome =
            "0 " + std::to_string(10 + c) + " " + std::to_string(id) + (failed ? " failed" : " ok");
      }
    } else {
      const int32_t key = i % 3 == 0 ? 50 : 60 + c;
      defineCustom(handle, key, data, 2);
      outcome = "2 " + std::to_string(key) + " " + std::to_string(id) +
                (sizeOf(2) != errorsBefore ? " failed" : " ok");
    }
    if (!outcome.empty()) say(outcome);
  }
  _exit(0);
}

TEST_F(OtherProcesses, TwoStartingOnANewDirectoryReportEveryFailedWrite) {
  TempDir dir;
  TempDir logs;
  int report[2];
  int go[2];
  ASSERT_EQ(::pipe(report), 0);
  ASSERT_EQ(::pipe(go), 0);
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      ::close(report[0]);
      ::close(go[1]);
      pipeOut = report[1];
      std::freopen(logs.file("stderr" + std::to_string(c)).c_str(), "w", stderr);
      runRival(c, dir.path(), motion_, go[0]);
    }
  }
  ::close(report[1]);
  ::close(go[0]);
  ASSERT_EQ(::write(go[1], "gg", 2), 2);  // both start at once
  ::close(go[1]);
  const std::string said = readAll(report[0]);
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  // Per key the ids reported stored, in order; and the ids whose writes failed.
  std::map<std::pair<int, int32_t>, std::vector<int64_t>> stored;
  std::vector<int64_t> failedIds;
  std::istringstream lines(said);
  int reports = 0;
  for (int kind = 0; lines >> kind;) {
    int32_t key = 0;
    int64_t id = 0;
    std::string outcome;
    lines >> key >> id >> outcome;
    ASSERT_NE(kind, 1) << "a create failed";
    ++reports;
    if (outcome == "ok") {
      stored[{kind, key}].push_back(id);
    } else {
      failedIds.push_back(id);
    }
  }
  EXPECT_EQ(reports, 24);
  for (const auto& [slot, ids] : stored) {
    const auto [kind, key] = slot;
    const std::vector<int64_t> held = storedIds(dir.path(), static_cast<Kind>(kind), key);
    ASSERT_EQ(held.size(), kind == kEnrol ? 3u : 2u) << "key " << key;
    for (int64_t id : held) EXPECT_EQ(id, held.front());
    if (key == 50) {
      // Both processes store it: the last commit of either, one reported stored.
      EXPECT_EQ(std::count(ids.begin(), ids.end(), held.front()), 1) << held.front();
    } else {
      EXPECT_EQ(held.front(), ids.back()) << "key " << key;
    }
  }
  std::printf("two processes: %zu writes reported failed, every write reported stored found\n",
              failedIds.size());
}

}  // namespace
