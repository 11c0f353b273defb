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
#include "support/HostCalls.h"
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

// Forks a child that runs `body`, which never returns, saying its lines into a pipe of its own;
// returns its process id (-1 when it could not start) and the reading end of that pipe.
template <typename Body>
std::pair<pid_t, int> spawn(Body&& body) {
  int fds[2];
  if (::pipe(fds) != 0) return {-1, -1};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    pipeOut = fds[1];
    body();
  }
  ::close(fds[1]);
  return {child, fds[0]};
}

// The child: operations one after another until it is killed. Each is announced before it starts
// and confirmed once its call has returned with the expected answer. Action 1 is never enrolled,
// so every identification fails and is recorded.
[[noreturn]] void runChild(const std::string& dir, const MotionSample& motion, int64_t firstId) {
  std::freopen("/dev/null", "w", stdout);
  std::freopen("/dev/null", "w", stderr);
  GestalHandle handle = GetControllerHelperObject(dir.data(), dir.size());
  if (handle == nullptr) {
    say("fail create");
    _exit(1);
  }
  for (int64_t step = 0;; ++step) {
    const int64_t id = firstId + step;
    const Kind kind = static_cast<Kind>(step % 3);
    const int32_t key = keyOf(kind, step);
    const std::vector<float> data = GestalSynth::flatten(recordingOf(motion, id));
    say("start " + std::to_string(kind) + " " + std::to_string(key) + " " + std::to_string(id));
    bool completed = false;
    if (kind == kEnrol) {
      for (int i = 0; i < 3; ++i) enrol(handle, key, data);
      completed = lastReply.error == 0 && lastReply.progress == 1.0;
    } else if (kind == kIdentify) {
      completed = identify(handle, data, {key}).error == GESTAL_ERROR_NO_MATCH;
    } else {
      defineCustom(handle, key, data, kCustomPieces);
      completed = true;
    }
    say((completed ? "done " : "fail ") + std::to_string(id));
  }
}

// A key of one kind of operation, and what the parent knows it holds: the id of the operation
// stored there (0: none), or for identifications the number of failure records.
using Slot = std::pair<int, int32_t>;
using Knowledge = std::map<Slot, int64_t>;
constexpr Slot kSlots[] = {
    {kEnrol, 2}, {kEnrol, 3}, {kCustom, 7}, {kCustom, 8}, {kIdentify, kIdentifiedAction}};

struct Operation {
  Slot slot;
  int64_t id;
  // What its slot holds once it has committed.
  int64_t after(Knowledge& known) const { return slot.first == kIdentify ? known[slot] + 1 : id; }
};

class OtherProcesses : public ::testing::Test {
 protected:
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

  // What a slot holds now, each stored operation checked to be there whole and alone.
  int64_t held(const std::string& dir, const Slot& slot) {
    const auto [kind, key] = slot;
    if (kind == kIdentify) {
      return std::stoll(readRows(
          dir + "gestal.db",
          "select count(*) from verify_history where action_index = " + std::to_string(key))[0][0]);
    }
    const std::vector<int64_t> ids = storedIds(dir, static_cast<Kind>(kind), key);
    if (ids.empty()) return 0;
    EXPECT_EQ(ids.size(), kind == kEnrol ? 3u : std::size_t{kCustomPieces}) << "half-written";
    for (int64_t id : ids) EXPECT_EQ(id, ids.front()) << "two operations mixed";
    return ids.front();
  }

  const MotionSample motion_ =
      GestalSynth::perform(GestalSynth::makeUser(41), GestalSynth::Shape::Signature, 1);
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
    const auto [child, said] =
        spawn([&] { runChild(dir->path(), motion_, int64_t{trial} * 100000 + 1); });
    ASSERT_GE(child, 0);
    ::usleep(static_cast<useconds_t>(delayMicros(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself";

    std::istringstream lines(readAll(said));
    std::optional<Operation> flight;
    for (std::string word; lines >> word;) {
      if (word == "start") {
        flight = Operation{};
        lines >> flight->slot.first >> flight->slot.second >> flight->id;
        continue;
      }
      std::string rest;
      lines >> rest;
      ASSERT_EQ(word, "done") << word << " " << rest;
      // A completed operation is the newest state of its slot.
      known[flight->slot] = flight->after(known);
      flight.reset();
      ++completed;
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
    for (const Slot& slot : kSlots) {
      const int64_t before = known[slot], now = held(path, slot);
      const bool committed = flight && flight->slot == slot && now == flight->after(known);
      EXPECT_TRUE(now == before || committed)
          << "kind " << slot.first << " key " << slot.second << " holds " << now
          << " (0: nothing) after " << before;
      committedInFlight += committed;
      known[slot] = now;
    }
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
    const long long errorsBefore = sizeOf(2);
    const Kind kind = i % 3 == 2 ? kEnrol : kCustom;
    const int32_t key = kind == kEnrol ? 10 + c : i % 3 == 0 ? 50 : 60 + c;
    bool failed = false;
    if (kind == kEnrol) {
      for (int k = 0; k < 3; ++k) {
        failed = enrol(handle, key, data).error == GESTAL_ERROR_ENGINE_FAILURE || failed;
      }
      if (!failed && lastReply.progress != 1.0) continue;  // unreported: the count falls short
    } else {
      defineCustom(handle, key, data, 2);
      failed = sizeOf(2) != errorsBefore;
    }
    say(std::to_string(kind) + " " + std::to_string(key) + " " + std::to_string(id) +
        (failed ? " failed" : " ok"));
  }
  _exit(0);
}

TEST_F(OtherProcesses, TwoStartingOnANewDirectoryReportEveryFailedWrite) {
  TempDir dir;
  TempDir logs;
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  std::pair<pid_t, int> children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = spawn([&] {
      std::freopen(logs.file("stderr" + std::to_string(c)).c_str(), "w", stderr);
      runRival(c, dir.path(), motion_, go[0]);
    });
    ASSERT_GE(children[c].first, 0);
  }
  ::close(go[0]);
  ASSERT_EQ(::write(go[1], "gg", 2), 2);  // both start at once
  ::close(go[1]);
  std::string said;
  for (const auto& [child, output] : children) {
    said += readAll(output);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  // Per slot the ids reported stored, in order; and the number of writes reported failed.
  std::map<Slot, std::vector<int64_t>> stored;
  int failed = 0, reports = 0;
  std::istringstream lines(said);
  for (Slot slot; lines >> slot.first >> slot.second;) {
    int64_t id = 0;
    std::string outcome;
    lines >> id >> outcome;
    ASSERT_NE(slot.first, 1) << "a create failed";
    ++reports;
    if (outcome == "ok") {
      stored[slot].push_back(id);
    } else {
      ++failed;
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
  std::printf("two processes: %d writes reported failed, every write reported stored found\n",
              failed);
}

}  // namespace
