#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/MotionSample.h"
#include "core/SampleText.h"
#include "synth/MotionSynth.h"
#include "tools/model/SplitMix.h"

namespace GestalPrivate {

// One labelled performance.
struct Recording {
  std::size_t gesture = 0;  // index into RecordingSet::gestures
  MotionSample sample;
  std::string origin;  // file name or synthetic user and repetition, for messages
};

// Labelled recordings of a set of gestures. Gesture names are sorted byte-wise, the order in which
// the library walks a model's gestures, so a gesture's index is also its rank in that order.
struct RecordingSet {
  std::vector<std::string> gestures;
  std::vector<Recording> recordings;
};

// Raised for a recording folder or file that cannot be read; the message names the file and line.
class RecordingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A recording in CSV: one reading per line, ten comma-separated numbers in the library's field
// order (time in ms; primary x, y, z; secondary x, y, z; direction x, y, z), read the same in
// every locale. Blank lines and lines starting with '#' are skipped.
inline MotionSample parseRecordingCsv(std::string_view text, const std::string& origin) {
  MotionSample sample;
  std::size_t lineNumber = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;

    MotionEntry entry{};
    const char* cursor = line.c_str();
    const char* const lineEnd = cursor + line.size();
    for (std::size_t field = 0; field < entry.size(); ++field) {
      while (*cursor == ' ' || *cursor == '\t') ++cursor;
      if (*cursor == '+') ++cursor;
      const auto [after, error] = std::from_chars(cursor, lineEnd, entry[field]);
      if (error != std::errc()) {
        throw RecordingError(origin + ":" + std::to_string(lineNumber) + ": field " +
                             std::to_string(field + 1) + " is not a number");
      }
      cursor = after;
      while (*cursor == ' ' || *cursor == '\t') ++cursor;
      if (field + 1 < entry.size()) {
        if (*cursor != ',') {
          throw RecordingError(origin + ":" + std::to_string(lineNumber) +
                               ": expected ten comma-separated numbers");
        }
        ++cursor;
      }
    }
    if (*cursor != '\0') {
      throw RecordingError(origin + ":" + std::to_string(lineNumber) +
                           ": expected ten comma-separated numbers");
    }
    sample.push_back(entry);
  }
  return sample;
}

// Reads one recording file: ".json" files hold the library's stored text form, every other file
// is CSV.
inline MotionSample readRecordingFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw RecordingError(path.string() + ": cannot be read");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (path.extension() == ".json") {
    try {
      return readSampleText(text, NullValues::Reject);
    } catch (const std::exception& error) {
      throw RecordingError(path.string() + ": " + error.what());
    }
  }
  return parseRecordingCsv(text, path.string());
}

// A folder with one sub-folder per gesture, named by the gesture, holding one file per recording.
// Hidden files and folders (name starting with '.') are ignored; files are taken in name order.
inline RecordingSet readRecordingFolder(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    throw RecordingError(folder.string() + ": not a folder");
  }
  RecordingSet set;
  std::vector<fs::path> gestureFolders;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_directory() && entry.path().filename().string()[0] != '.') {
      gestureFolders.push_back(entry.path());
    }
  }
  std::sort(gestureFolders.begin(), gestureFolders.end());
  for (const fs::path& gestureFolder : gestureFolders) {
    set.gestures.push_back(gestureFolder.filename().string());
  }
  std::sort(set.gestures.begin(), set.gestures.end());
  for (std::size_t g = 0; g < set.gestures.size(); ++g) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder / set.gestures[g])) {
      if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
        files.push_back(entry.path());
      }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      set.recordings.push_back({g, readRecordingFile(file), file.string()});
    }
  }
  return set;
}

// The gestures of the default model and the synthesizer's shapes that perform them.
struct SyntheticGesture {
  const char* name;
  GestalSynth::Shape shape;
};
inline constexpr SyntheticGesture kSyntheticGestures[] = {
    {"C", GestalSynth::Shape::LetterC},
    {"DOWN", GestalSynth::Shape::SwipeDown},
    {"HEART", GestalSynth::Shape::Heart},
};

// User seeds for synthetic recordings: the first `trainingUsers` for training and the next
// `validationUsers` for validation, all distinct, drawn from `seed`.
struct SyntheticUsers {
  std::vector<uint64_t> training;
  std::vector<uint64_t> validation;
};

inline SyntheticUsers drawSyntheticUsers(uint64_t seed, std::size_t trainingUsers,
                                         std::size_t validationUsers) {
  SplitMix random(seed);
  std::set<uint64_t> seen;
  SyntheticUsers users;
  while (users.training.size() + users.validation.size() < trainingUsers + validationUsers) {
    uint64_t userSeed = random.next();
    if (!seen.insert(userSeed).second) continue;
    if (users.training.size() < trainingUsers) {
      users.training.push_back(userSeed);
    } else {
      users.validation.push_back(userSeed);
    }
  }
  return users;
}

// `repetitions` performances of each default gesture by each user.
inline RecordingSet synthesizeRecordings(const std::vector<uint64_t>& userSeeds,
                                         std::size_t repetitions) {
  RecordingSet set;
  for (const SyntheticGesture& gesture : kSyntheticGestures) set.gestures.push_back(gesture.name);
  for (uint64_t userSeed : userSeeds) {
    GestalSynth::User user = GestalSynth::makeUser(userSeed);
    for (std::size_t g = 0; g < set.gestures.size(); ++g) {
      for (std::size_t r = 0; r < repetitions; ++r) {
        set.recordings.push_back({g, GestalSynth::perform(user, kSyntheticGestures[g].shape, r),
                                  "user " + std::to_string(userSeed) + " " + set.gestures[g] +
                                      " #" + std::to_string(r)});
      }
    }
  }
  return set;
}

}  // namespace GestalPrivate
