// Measures custom gesture identification the way a host uses it: each user defines every gesture
// from three of their own recordings, then every later recording is identified among them.
//
//   gestal-eval-custom <folder>      recordings of 3-axis accelerometer gestures, one CSV per user
//                                    (U<n>.csv: day,gesture,rep,t_ms,ax_g,ay_g,az_g); gestures are
//                                    defined from repetitions 1 to 3 of day 1 and the recordings
//                                    of days 2 to 7 are identified
//   gestal-eval-custom --synthetic   ten synthesized users, heart, circle and zig-zag ten times
//                                    each; gestures defined from the first three performances

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "gestures/GestalGestureRecognition.h"
#include "synth/MotionSynth.h"

using GestalPrivate::GestalGestureRecognition;
using GestalPrivate::MotionEntry;
using GestalPrivate::MotionSample;

namespace {

constexpr float kStandardGravity = 9.80665f;
const char* const kNameSpace = "player";

// A fresh database directory, removed with its contents at the end.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "gestal-eval-custom-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create " + pattern);
    path_ = pattern + "/";
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct Score {
  int correct = 0;
  int unmatched = 0;
  int total = 0;

  void add(const Score& other) {
    correct += other.correct;
    unmatched += other.unmatched;
    total += other.total;
  }
  double accuracy() const { return total > 0 ? 100.0 * correct / total : 0.0; }
};

// One user's session: define each gesture from its recordings, then identify the trials.
Score evaluateUser(const std::map<std::string, std::vector<MotionSample>>& definitions,
                   const std::vector<std::pair<std::string, MotionSample>>& trials) {
  ScratchDirectory directory;
  GestalGestureRecognition recogniser(directory.path());
  for (const auto& [gesture, samples] : definitions) {
    recogniser.customGestureDB().replaceCustomSamples(kNameSpace, gesture, samples);
  }
  Score score;
  for (const auto& [gesture, sample] : trials) {
    const std::string found =
        recogniser.identifyCustomGesture(kNameSpace, {}, sample).matchedGesture;
    ++score.total;
    if (found == gesture) ++score.correct;
    if (found.empty()) ++score.unmatched;
  }
  return score;
}

void report(const std::string& label, const Score& score) {
  std::printf("%-24s %5d of %5d identified correctly (%6.2f%%), %4d without a match\n",
              label.c_str(), score.correct, score.total, score.accuracy(), score.unmatched);
}

// Recordings of one user file, keyed by (day, gesture, repetition), readings converted to the
// library's units: acceleration in m/s^2 as the primary vector (gravity included, as recorded),
// no angular velocity, and a fixed horizontal pointing direction.
std::map<std::tuple<int, int, int>, MotionSample> readUserFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::map<std::tuple<int, int, int>, MotionSample> recordings;
  std::string line;
  std::getline(in, line);
  int lineNumber = 1;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (line.empty()) continue;
    std::istringstream fields(line);
    int day = 0, gesture = 0, repetition = 0;
    float time = 0, x = 0, y = 0, z = 0;
    char comma = 0;
    if (!(fields >> day >> comma >> gesture >> comma >> repetition >> comma >> time >> comma >> x >>
          comma >> y >> comma >> z)) {
      throw std::runtime_error(path + ":" + std::to_string(lineNumber) + ": not a reading");
    }
    MotionEntry entry{};
    entry[GestalPrivate::kTime] = time;
    entry[GestalPrivate::kPrimaryX] = x * kStandardGravity;
    entry[GestalPrivate::kPrimaryY] = y * kStandardGravity;
    entry[GestalPrivate::kPrimaryZ] = z * kStandardGravity;
    entry[GestalPrivate::kDirectionX] = 1.0f;
    recordings[{day, gesture, repetition}].push_back(entry);
  }
  return recordings;
}

int evaluateFolder(const std::string& folder) {
  Score all;
  int users = 0;
  for (int user = 1;; ++user) {
    const std::string path = folder + "/U" + std::to_string(user) + ".csv";
    if (!std::filesystem::exists(path)) break;
    std::map<std::string, std::vector<MotionSample>> definitions;
    std::vector<std::pair<std::string, MotionSample>> trials;
    for (auto& [key, sample] : readUserFile(path)) {
      const auto [day, gesture, repetition] = key;
      if (day == 1 && repetition <= 3) {
        definitions[std::to_string(gesture)].push_back(std::move(sample));
      } else if (day >= 2) {
        trials.emplace_back(std::to_string(gesture), std::move(sample));
      }
    }
    const Score score = evaluateUser(definitions, trials);
    report("user " + std::to_string(user), score);
    all.add(score);
    ++users;
  }
  if (users == 0) {
    std::fprintf(stderr, "no U1.csv in %s\n", folder.c_str());
    return 1;
  }
  report("all " + std::to_string(users) + " users", all);
  return 0;
}

int evaluateSynthetic() {
  const std::vector<std::pair<std::string, GestalSynth::Shape>> shapes = {
      {"heart", GestalSynth::Shape::Heart},
      {"circle", GestalSynth::Shape::Circle},
      {"zigzag", GestalSynth::Shape::ZigZag}};
  Score all;
  for (uint64_t seed = 1; seed <= 10; ++seed) {
    const GestalSynth::User user = GestalSynth::makeUser(seed);
    std::map<std::string, std::vector<MotionSample>> definitions;
    std::vector<std::pair<std::string, MotionSample>> trials;
    for (const auto& [name, shape] : shapes) {
      for (uint64_t repetition = 0; repetition < 10; ++repetition) {
        MotionSample sample = GestalSynth::perform(user, shape, repetition);
        if (repetition < 3) {
          definitions[name].push_back(std::move(sample));
        } else {
          trials.emplace_back(name, std::move(sample));
        }
      }
    }
    const Score score = evaluateUser(definitions, trials);
    report("synthetic user " + std::to_string(seed), score);
    all.add(score);
  }
  report("all 10 synthetic users", all);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder> | --synthetic\n", argv[0]);
    return 2;
  }
  try {
    const std::string argument = argv[1];
    return argument == "--synthetic" ? evaluateSynthetic() : evaluateFolder(argument);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
