// Measures signature enrolment and verification the way a host uses them: every user enrols
// signatures from their own performances, then each enrolled action is asked, as the only
// candidate, to accept the user's other performances and to refuse everyone else's.
//
//   gestal-eval-signatures <folder>      air-written letters, one CSV per user (userNN.csv:
//                                        letter,rep,t_ms,ax,ay,az,gx,gy,gz,pitch,yaw,roll with
//                                        acceleration in g); each user enrols each letter from
//                                        repetitions 1 to 3 (more while the enrolment stays open)
//                                        and the letter's remaining repetitions of the user and all
//                                        repetitions of the other users are verified against it
//   gestal-eval-signatures --synthetic   twenty synthesized users enrolling their own signature
//
// Default profile, thresholds 1.0, no lock (maxFailedTrials = INT_MAX, lock time 300 s).

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/Exceptions.h"
#include "core/GSEnginePreferenceParameters.h"
#include "signatures/GestalDB.h"
#include "signatures/GestalRecognition.h"
#include "signatures/GestalTraining.h"
#include "synth/MotionSynth.h"

using GestalPrivate::MotionEntry;
using GestalPrivate::MotionSample;

namespace {

constexpr float kStandardGravity = 9.80665f;
// Enrolment gives up at the seventh sample; no more are offered.
constexpr std::size_t kMaxEnrolmentSamples = 7;

// A fresh database directory in memory when possible (every failed verification is a commit),
// removed with its contents at the end.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/gestal-eval-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    path_ = pattern + "/";
  }
  ~ScratchDirectory() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// One action to enrol and the performances that should and should not be accepted by it.
struct Trial {
  std::string name;
  std::vector<MotionSample> own;     // enrolment samples first, in order
  std::vector<MotionSample> others;  // other users' performances
};

struct Tally {
  int enrolled = 0, enrolledFromThree = 0, notEnrolled = 0;
  std::map<int32_t, int> refusals;  // enrolment refusals by code, -1 for enrolments given up
  int genuine = 0, genuineAccepted = 0;
  int impostor = 0, impostorAccepted = 0;
};

class Evaluation {
 public:
  Evaluation()
      : db_(profile_, directory_.path()),
        training_(&db_, profile_, 1.0f),
        recognition_(&db_, profile_, 1.0f) {
    recognition_.setMaxFailedTrials(INT_MAX);
    recognition_.setLockTimeSeconds(300);
  }

  // Offers the user's performances until the enrolment completes; returns how many it took, or 0.
  std::size_t enrol(int32_t action, const std::vector<MotionSample>& own,
                    std::map<int32_t, int>& refusals) {
    for (std::size_t i = 0; i < own.size() && i < kMaxEnrolmentSamples; ++i) {
      try {
        if (training_.train(action, own[i]).progress == 1.0f) return i + 1;
      } catch (const GestalPrivate::GestalTrainingInputException& e) {
        // A refused sample is simply not held; the next one is offered.
        ++refusals[e.code];
      } catch (const GestalPrivate::GestalTrainingFailedException&) {
        ++refusals[-1];
        return 0;
      }
    }
    training_.clearTraining(action);
    return 0;
  }

  bool accepts(int32_t action, const MotionSample& sample) {
    try {
      return recognition_.identify({action}, sample) == std::vector<int32_t>{action};
    } catch (const GestalPrivate::NoMatchException&) {
      return false;
    }
  }

 private:
  ScratchDirectory directory_;
  GestalPrivate::GSEnginePreferenceParameters profile_;
  GestalPrivate::GestalDB db_;
  GestalPrivate::GestalTraining training_;
  GestalPrivate::GestalRecognition recognition_;
};

Tally run(const std::vector<Trial>& trials) {
  Evaluation evaluation;
  Tally tally;
  std::vector<std::size_t> used(trials.size(), 0);
  for (std::size_t t = 0; t < trials.size(); ++t) {
    used[t] = evaluation.enrol(static_cast<int32_t>(t + 1), trials[t].own, tally.refusals);
    if (used[t] == 0) {
      ++tally.notEnrolled;
      std::fprintf(stderr, "  %s: not enrolled\n", trials[t].name.c_str());
      continue;
    }
    ++tally.enrolled;
    if (used[t] == 3) ++tally.enrolledFromThree;
  }
  // Genuine performances first, so that adaptive learning sees the owner before any impostor.
  for (std::size_t t = 0; t < trials.size(); ++t) {
    if (used[t] == 0) continue;
    for (std::size_t i = used[t]; i < trials[t].own.size(); ++i) {
      ++tally.genuine;
      tally.genuineAccepted += evaluation.accepts(static_cast<int32_t>(t + 1), trials[t].own[i]);
    }
  }
  for (std::size_t t = 0; t < trials.size(); ++t) {
    if (used[t] == 0) continue;
    for (const MotionSample& other : trials[t].others) {
      ++tally.impostor;
      tally.impostorAccepted += evaluation.accepts(static_cast<int32_t>(t + 1), other);
    }
  }
  return tally;
}

void report(const char* title, const Tally& tally) {
  auto share = [](int part, int whole) { return whole > 0 ? 100.0 * part / whole : 0.0; };
  std::printf("%s\n", title);
  std::printf("  enrolled %d of %d actions (%d from exactly three performances)\n", tally.enrolled,
              tally.enrolled + tally.notEnrolled, tally.enrolledFromThree);
  std::printf("  enrolment refusals by code (-1: given up):");
  for (const auto& [code, count] : tally.refusals) std::printf(" %d:%d", code, count);
  std::printf("\n");
  std::printf("  genuine accepted:  %d of %d (%.1f%%)\n", tally.genuineAccepted, tally.genuine,
              share(tally.genuineAccepted, tally.genuine));
  std::printf("  impostor accepted: %d of %d (%.2f%%)\n", tally.impostorAccepted, tally.impostor,
              share(tally.impostorAccepted, tally.impostor));
}

std::vector<Trial> syntheticTrials() {
  constexpr int kUsers = 20, kOwn = 25, kImpostorPerUser = 5;
  std::vector<GestalSynth::User> users;
  for (int u = 0; u < kUsers; ++u) users.push_back(GestalSynth::makeUser(1000 + u));
  std::vector<Trial> trials;
  for (int u = 0; u < kUsers; ++u) {
    Trial trial{"user " + std::to_string(u + 1), {}, {}};
    for (int r = 0; r < kOwn; ++r) {
      trial.own.push_back(GestalSynth::perform(users[u], GestalSynth::Shape::Signature, r));
    }
    for (int v = 0; v < kUsers; ++v) {
      if (v == u) continue;
      for (int r = 0; r < kImpostorPerUser; ++r) {
        trial.others.push_back(
            GestalSynth::perform(users[v], GestalSynth::Shape::Signature, 100 + r));
      }
    }
    trials.push_back(std::move(trial));
  }
  return trials;
}

// Recordings of one user: letter -> repetitions in order.
using UserLetters = std::map<std::string, std::map<int, MotionSample>>;

UserLetters readUser(const std::filesystem::path& file) {
  UserLetters letters;
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string letter, cell;
    std::getline(fields, letter, ',');
    std::getline(fields, cell, ',');
    const int rep = std::stoi(cell);
    float values[10];
    for (float& value : values) {
      std::getline(fields, cell, ',');
      value = std::stof(cell);
    }
    // Time, acceleration in m/s^2, angular velocity; the pointing direction is taken as
    // horizontal and forward, as the recording's attitude frame is not the controller's.
    MotionEntry entry{values[0],
                      values[1] * kStandardGravity,
                      values[2] * kStandardGravity,
                      values[3] * kStandardGravity,
                      values[4],
                      values[5],
                      values[6],
                      0.0f,
                      1.0f,
                      0.0f};
    letters[letter][rep].push_back(entry);
  }
  return letters;
}

std::vector<Trial> letterTrials(const std::filesystem::path& folder) {
  std::vector<UserLetters> users;
  for (int u = 1; u <= 99; ++u) {
    char name[16];
    std::snprintf(name, sizeof name, "user%02d.csv", u);
    if (!std::filesystem::exists(folder / name)) break;
    users.push_back(readUser(folder / name));
  }
  std::vector<Trial> trials;
  for (std::size_t u = 0; u < users.size(); ++u) {
    for (const auto& [letter, reps] : users[u]) {
      Trial trial{"user " + std::to_string(u + 1) + " letter " + letter, {}, {}};
      for (const auto& [rep, sample] : reps) trial.own.push_back(sample);
      for (std::size_t v = 0; v < users.size(); ++v) {
        if (v == u || users[v].count(letter) == 0) continue;
        for (const auto& [rep, sample] : users[v].at(letter)) trial.others.push_back(sample);
      }
      trials.push_back(std::move(trial));
    }
  }
  return trials;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder> | --synthetic\n", argv[0]);
    return 2;
  }
  // The database and the engine print their own progress; only the figures are of interest.
  std::fflush(stdout);
  const int console = dup(1);
  std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
  if (quiet == nullptr || console < 0) return 1;
  const bool synthetic = std::string(argv[1]) == "--synthetic";
  std::vector<Trial> trials =
      synthetic ? syntheticTrials() : letterTrials(std::filesystem::path(argv[1]));
  const Tally tally = run(trials);
  std::fflush(stdout);
  dup2(console, 1);
  report(synthetic ? "synthetic signatures" : argv[1], tally);
  return 0;
}
