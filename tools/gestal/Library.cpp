// The library's own operations, called through its C interface exactly as a host calls them.
#include <charconv>
#include <cmath>
#include <cstring>
#include <iostream>
#include <optional>

#include "gestal.h"
#include "tools/gestal/Commands.h"
#include "tools/gestal/Common.h"
#include "tools/gestal/ErrorWords.h"

namespace GestalTool {

namespace {

constexpr uint64_t kFields = 10;

std::vector<float> flat(const MotionSample& sample) {
  std::vector<float> data;
  data.reserve(sample.size() * kFields);
  for (const GestalPrivate::MotionEntry& entry : sample) {
    data.insert(data.end(), entry.begin(), entry.end());
  }
  return data;
}

// The helper object for a database directory; the directory text gets its trailing '/', and a
// folder that must hold data is required to exist.
GestalHandle openHelper(std::string directory, bool create) {
  std::error_code error;
  if (create) std::filesystem::create_directories(directory, error);
  if (!std::filesystem::is_directory(directory, error)) {
    throw ToolError(directory + ": not a folder");
  }
  if (directory.back() != '/') directory += '/';
  GestalHandle handle = GetControllerHelperObject(directory.data(), directory.size());
  if (handle == nullptr) throw ToolError(directory + ": the library cannot open its databases");
  return handle;
}

// Chooses the matcher of a helper just created (the command line admits only the two names) and,
// when one is given, the minimum confidence of the elastic matcher.
void chooseMatcher(GestalHandle handle, const std::string& matcher,
                   std::optional<double> elasticMinimum = std::nullopt) {
  const int32_t chosen = matcher == "elastic" ? GESTAL_MATCHER_ELASTIC : GESTAL_MATCHER_LCS;
  if (!GestalSetMatcher(handle, chosen) ||
      (elasticMinimum && !GestalSetMinConfidence(handle, static_cast<float>(*elasticMinimum)))) {
    Shutdown(handle);
    throw ToolError("matcher " + matcher + ": the library refuses it");
  }
}

struct Reply {
  int32_t action = -1;
  int32_t error = 0;
  float progress = 0.0f;
  int32_t detail = 0;
  int32_t strength = -1;
};
// Callbacks carry no user pointer; one command runs one call at a time.
Reply reply;

void onEnrol(GestalAction* action, GestalStatusBlock* status, float progress, int32_t* complexity) {
  reply = Reply{GetActionIndex(action), GetErrorType(status), progress, *complexity, -1};
}

void onIdentify(GestalAction* action, GestalStatusBlock* status, int32_t remaining,
                int32_t lockSeconds) {
  reply = Reply{GetActionIndex(action), GetErrorType(status), 0.0f, lockSeconds, remaining};
}

struct Verdict {
  std::string name;
  float score = 0.0f;
  float confidence = 0.0f;
};
Verdict verdict;

void onVerify(const GestalGestureName* bestMatch, float score, float confidence) {
  char name[256];
  verdict =
      Verdict{GetResultGesture(bestMatch, name, sizeof name) == 0 ? name : "", score, confidence};
}

// Names lie one after another with their lengths beside them, as the C interface takes them.
struct NameList {
  std::string bytes;
  std::vector<int32_t> lengths;
  explicit NameList(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      bytes += name;
      lengths.push_back(static_cast<int32_t>(name.size()));
    }
  }
};

bool isIndex(const std::string& text, int32_t& value) {
  const char* end = text.data() + text.size();
  const auto [after, error] = std::from_chars(text.data(), end, value);
  return !text.empty() && error == std::errc() && after == end;
}

}  // namespace

int runEnrol(const EnrolOptions& options) {
  if (options.action <= 0)
    throw ToolError("action " + std::to_string(options.action) + ": actions are numbered from 1");
  GestalHandle handle = openHelper(options.directory, true);
  bool complete = false;
  for (const std::string& path : options.recordings) {
    const std::vector<float> data = flat(readRecording(path));
    reply = Reply{};
    AddSignature(handle, options.action, data.data(), data.size() / kFields, kFields, onEnrol);
    std::cout << path << ": ";
    if (reply.error != 0) {
      std::cout << "refused " << reply.error << " (" << errorWords(reply.error) << ")";
      if (reply.error == -204) std::cout << ", complexity level " << reply.detail;
    } else {
      std::cout << "progress " << fixed(reply.progress, 1);
      if (reply.detail > 0) std::cout << ", complexity level " << reply.detail;
    }
    std::cout << "\n";
    if (reply.error == 0 && reply.progress == 1.0f) {
      complete = true;
      break;
    }
  }
  Shutdown(handle);
  if (complete) {
    std::cout << "action " << options.action << " enrolled\n";
    return 0;
  }
  std::cout << "action " << options.action
            << " not enrolled: an open enrolment lasts only while this command runs, so pass "
               "all its performances in one call\n";
  return kAnsweredNo;
}

int runIdentify(const IdentifyOptions& options) {
  GestalHandle handle = openHelper(options.directory, false);
  chooseMatcher(handle, options.matcher);
  const std::vector<float> data = flat(readRecording(options.recording));
  reply = Reply{};
  IdentifySignature(handle, data.data(), data.size() / kFields, kFields,
                    options.actions.empty() ? nullptr : options.actions.data(),
                    options.actions.size(), onIdentify);
  Shutdown(handle);
  if (reply.error == 0 && reply.action >= 0) {
    std::cout << options.recording << ": action " << reply.action << "\n";
    return 0;
  }
  std::cout << options.recording << ": no action (" << reply.error << ", "
            << errorWords(reply.error) << ")\n";
  return kAnsweredNo;
}

int runDefine(const DefineOptions& options) {
  std::vector<float> data;
  std::vector<int32_t> lengths;
  for (const std::string& path : options.recordings) {
    const std::vector<float> one = flat(readRecording(path));
    data.insert(data.end(), one.begin(), one.end());
    lengths.push_back(static_cast<int32_t>(one.size() / kFields));
  }
  const std::vector<int32_t> entryLengths(lengths.size(), kFields);
  int32_t index = 0;
  const bool named = options.named || !isIndex(options.gesture, index);
  GestalHandle handle = openHelper(options.directory, true);
  if (named) {
    SetCustomGestureStr(handle, options.gesture.data(), options.gesture.size(), data.data(),
                        lengths.size(), lengths.data(), entryLengths.data());
  } else {
    SetCustomGesture(handle, index, data.data(), lengths.size(), lengths.data(),
                     entryLengths.data());
  }
  Shutdown(handle);
  std::cout << (named ? "named gesture \"" + options.gesture + "\"" : "gesture " + options.gesture)
            << ": " << lengths.size() << " samples stored\n";
  return 0;
}

int runRecognise(const RecogniseOptions& options) {
  const bool elastic = options.matcher == "elastic";
  if (elastic && options.minConfidence && !(*options.minConfidence >= 0.0)) {
    throw ToolError("minimum confidence " + shortest(static_cast<float>(*options.minConfidence)) +
                    ": the elastic matcher takes 0 or more");
  }
  GestalHandle handle = openHelper(options.directory, false);
  chooseMatcher(handle, options.matcher, elastic ? options.minConfidence : std::nullopt);
  const std::vector<float> data = flat(readRecording(options.recording));
  const uint64_t entries = data.size() / kFields;
  bool named = options.named;
  std::vector<int32_t> indexes;
  for (const std::string& target : options.targets) {
    int32_t index = 0;
    if (isIndex(target, index)) {
      indexes.push_back(index);
    } else {
      named = true;
    }
  }
  CustomGestureResult* result = nullptr;
  std::string match;
  if (named) {
    const NameList targets(options.targets);
    result = IdentifyCustomGestureStr(handle, targets.bytes.data(), targets.lengths.size(),
                                      targets.lengths.data(), data.data(), entries, kFields);
    char name[4096];
    GetGSCustomGestureRecognizeGestureStr(result, name, sizeof name);
    match = name;
  } else {
    result = IdentifyCustomGesture(handle, indexes.empty() ? nullptr : indexes.data(),
                                   indexes.size(), data.data(), entries, kFields);
    const int32_t index = GetGSCustomGestureRecognizeGestureInt(result);
    if (index >= 0) match = std::to_string(index);
  }
  const float confidence = GetGSCustomGestureRecognizeGestureConfidence(result);
  DeleteGSCustomGestureRecognizeGesture(result);
  Shutdown(handle);
  std::cout << options.recording << ": ";
  if (match.empty()) {
    std::cout << "no gesture\n";
    return kAnsweredNo;
  }
  std::cout << (named ? "\"" + match + "\"" : "gesture " + match) << ", confidence "
            << fixed(confidence, 3);
  if (!elastic && options.minConfidence && confidence < *options.minConfidence) {
    std::cout << ", below the minimum " << fixed(*options.minConfidence, 2) << ": no gesture\n";
    return kAnsweredNo;
  }
  std::cout << "\n";
  return 0;
}

int runVerify(const VerifyOptions& options) {
  GestalHandle handle = openHelper(options.directory, false);
  const std::filesystem::path model = std::filesystem::path(options.directory) / options.model;
  if (!std::filesystem::is_regular_file(model)) {
    Shutdown(handle);
    throw ToolError(model.string() + ": no such model file");
  }
  const std::vector<float> data = flat(readRecording(options.recording));
  const NameList targets(options.targets);
  verdict = Verdict{};
  VerifyPredefinedGesture(handle, options.model.data(), options.model.size(), 0, 0,
                          targets.bytes.data(), targets.lengths.data(), targets.lengths.size(),
                          data.data(), data.size() / kFields, kFields, onVerify);
  Shutdown(handle);
  std::cout << options.recording << ": ";
  if (verdict.name.empty()) {
    std::cout << "no gesture\n";
    return kAnsweredNo;
  }
  std::cout << verdict.name << ", score " << fixed(verdict.score, 3) << ", confidence "
            << fixed(verdict.confidence, 3) << "\n";
  return 0;
}

}  // namespace GestalTool
