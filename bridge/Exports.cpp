// The exported C functions: host arrays in, engine calls, trace lines, results out. No exception
// leaves this file; a failure is reported on stderr and answered with the call's neutral result.

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/CallLock.h"
#include "bridge/CallTrace.h"
#include "bridge/ControllerHelper.h"
#include "bridge/CustomGestureResult.h"
#include "bridge/ExportSupport.h"
#include "bridge/HostInput.h"
#include "core/Log.h"
#include "core/NumberText.h"
#include "engine/GSEngine.h"
#include "gestal.h"

namespace {

using GestalBridge::CallLock;
using GestalBridge::ControllerHelper;
using GestalBridge::guarded;
using GestalBridge::helperOf;
using GestalBridge::recordingFromHost;
using GestalBridge::reportFailure;
using GestalBridge::traceLine;
using GestalBridge::traceNames;
using GestalBridge::TraceTimer;
using GestalBridge::withHelper;
using GestalPrivate::MotionSample;

constexpr const char* kPlayerNameSpace = "player";
constexpr const char* kSmartNameSpace = "smart";
constexpr const char* kSmartPrefix = "__sg_";

// Process-wide state, used only under the call lock: the current helper and its handle, and the
// current engine. The engine outlives Shutdown and is replaced by the next create; every engine
// call holds its own reference, so a replaced engine is destroyed as soon as no call on the stack
// uses it (a host may create again from inside a callback or log handler).
struct ProcessState {
  // Handle values carry the number of the create that made them, so a handle from before a
  // Shutdown never matches a later helper. They are odd, never the address of an object.
  uint64_t creations = 0;
  GestalHandle currentHandle = nullptr;
  std::unique_ptr<ControllerHelper> helper;
  std::shared_ptr<Gestal::GSEngine> engine;
};

ProcessState& processState() {
  static ProcessState state;
  return state;
}

// The current engine, kept alive by the returned reference for the engine call that uses it.
std::shared_ptr<Gestal::GSEngine> currentEngine() {
  std::shared_ptr<Gestal::GSEngine> engine = processState().engine;
  if (engine == nullptr) throw std::runtime_error("no controller helper has been created");
  return engine;
}

// Gesture index of a predefined gesture's host code; -1 for codes not in the table.
int32_t gestureIndexOfCode(int32_t code) {
  switch (code) {
    case GESTAL_GESTURE_HEART:
      return 0;
    case GESTAL_GESTURE_C:
      return 1;
    case GESTAL_GESTURE_DOWN:
      return 2;
    default:
      return -1;
  }
}

Gestal::GSAction failedAction() {
  Gestal::GSAction action;
  action.status.error = GESTAL_ERROR_ENGINE_FAILURE;
  return action;
}

// Zero-fills the buffer and copies `text` and a terminating zero into it, as a bounded copy does:
// copying stops at an embedded zero byte, and a buffer too small for the text and its zero is left
// all zero. Returns 0, ERANGE or EINVAL; the last two also print a line on stderr.
int32_t copyOut(const char* exportName, std::string_view text, char* buffer,
                uint64_t bufferSize) noexcept {
  if (buffer == nullptr) {
    reportFailure(exportName, "the buffer is null");
    return EINVAL;
  }
  std::memset(buffer, 0, bufferSize);
  const std::size_t length = std::min(text.find('\0'), text.size());
  if (bufferSize <= length) {
    GestalPrivate::logFormat(
        GestalPrivate::LogLevel::Error,
        "gestal: %s failed: a buffer of %llu bytes cannot hold the name and its "
        "terminating zero",
        exportName, static_cast<unsigned long long>(bufferSize));
    return ERANGE;
  }
  text.copy(buffer, length);
  return 0;
}

// A threshold is a finite number of 0 or more; anything else would make enrolment impossible (NaN)
// or let any motion match (a negative one). Refused with a line on stderr.
bool thresholdAccepted(const char* exportName, const char* which, float threshold) {
  if (std::isfinite(threshold) && threshold >= 0.0f) return true;
  char value[32];
  const auto written = std::to_chars(value, value + sizeof value, threshold);
  GestalPrivate::logFormat(GestalPrivate::LogLevel::Error,
                           "gestal: %s failed: the %s match threshold %.*s is not a finite number "
                           "of 0 or more",
                           exportName, which, static_cast<int>(written.ptr - value), value);
  return false;
}

GestalHandle createHelper(const char* exportName, const char* dbPath, uint64_t dbPathLength,
                          float trainMatchThreshold, float verifyMatchThreshold) {
  CallLock lock;
  ProcessState& state = processState();
  if (state.currentHandle != nullptr) return state.currentHandle;
  if (!thresholdAccepted(exportName, "training", trainMatchThreshold) ||
      !thresholdAccepted(exportName, "verification", verifyMatchThreshold)) {
    return nullptr;
  }
  GestalHandle created = nullptr;
  guarded(exportName, [&] {
    const std::string directory =
        GestalBridge::textFromHost(dbPath, dbPathLength, "the database directory");
    auto helper = std::make_unique<ControllerHelper>();
    traceLine("TrainMatchTreshold: ", trainMatchThreshold,
              ", VerifyMatchThreshold: ", verifyMatchThreshold);
    traceLine("dbPathLength: ", dbPathLength, ", dbPath: ", directory);
    Gestal::GSEngineParameters parameters;
    parameters.trainMatchThreshold = trainMatchThreshold;
    parameters.verifyMatchThreshold = verifyMatchThreshold;
    auto engine = std::make_shared<Gestal::GSEngine>(directory, parameters);
    helper->setEngine(engine.get());
    state.engine = std::move(engine);
    state.helper = std::move(helper);
    ++state.creations;
    created = state.currentHandle =
        reinterpret_cast<GestalHandle>(static_cast<uintptr_t>(state.creations << 4 | 1));
  });
  return created;
}

}  // namespace

ControllerHelper* GestalBridge::helperOf(GestalHandle handle, const char* exportName) {
  ProcessState& state = processState();
  if (handle == nullptr || handle != state.currentHandle) {
    reportFailure(exportName, "the handle is not the current controller helper handle");
    return nullptr;
  }
  return state.helper.get();
}

extern "C" {

GestalHandle GetControllerHelperObject(const char* dbPath, uint64_t dbPathLength) {
  return createHelper("GetControllerHelperObject", dbPath, dbPathLength, 1.0f, 1.0f);
}

GestalHandle GetControllerHelperObjectWithConfig(const char* dbPath, uint64_t dbPathLength,
                                                 float trainMatchThreshold,
                                                 float verifyMatchThreshold) {
  return createHelper("GetControllerHelperObjectWithConfig", dbPath, dbPathLength,
                      trainMatchThreshold, verifyMatchThreshold);
}

char* GetControllerHelperVersion(void*, char** version, uint64_t* length) {
  static const char kVersion[] = "1.00";
  char* buffer = static_cast<char*>(std::malloc(sizeof kVersion));
  if (buffer == nullptr) {
    reportFailure("GetControllerHelperVersion", "out of memory");
  } else {
    std::memcpy(buffer, kVersion, sizeof kVersion);
  }
  if (version != nullptr) *version = buffer;
  if (length != nullptr) *length = buffer != nullptr ? sizeof kVersion - 1 : 0;
  return buffer;
}

void Shutdown(GestalHandle handle) {
  CallLock lock;
  ProcessState& state = processState();
  if (state.currentHandle == nullptr) return;
  // A stale handle from before a later create must not end the helper created since.
  if (helperOf(handle, "Shutdown") == nullptr) return;
  state.helper.reset();
  state.currentHandle = nullptr;
}

void SetSensorDataCallback(GestalHandle handle, GestalSensorDataCallback callback) {
  withHelper(handle, "SetSensorDataCallback",
             [&](ControllerHelper& h) { h.setSensorDataCallback(callback); });
}

void SetMovementCallback(GestalHandle handle, GestalMovementCallback callback) {
  withHelper(handle, "SetMovementCallback",
             [&](ControllerHelper& h) { h.setMovementCallback(callback); });
}

void AddSignature(GestalHandle, int32_t index, const float* data, uint64_t numDataEntry,
                  uint64_t entryLength, GestalAddSignatureCallback callback) {
  constexpr const char* kName = "AddSignature";
  CallLock lock;
  Gestal::GSAction action = failedAction();
  MotionSample sample;
  const bool read =
      guarded(kName, [&] { sample = recordingFromHost(data, numDataEntry, entryLength, kName); });
  traceLine(">>> AddSignature >>> index:", index);
  TraceTimer timer;
  if (read) guarded(kName, [&] { action = currentEngine()->AddSignature(index, sample); });
  timer.stop();
  traceLine("<<< AddSignatureResult <<< action:", action.actionIndex,
            ", error:", action.status.error, ", progress:", action.status.progress.asFloat,
            ", securityLevel:", action.status.securityLevel);
  timer.traceTimeSpent();
  if (callback != nullptr) {
    callback(reinterpret_cast<GestalAction*>(&action), &action.status,
             action.status.progress.asFloat, &action.status.securityLevel);
  }
}

void IdentifySignature(GestalHandle, const float* data, uint64_t numDataEntry, uint64_t entryLength,
                       const int32_t* index, uint64_t indexLength,
                       GestalIdentifySignatureCallback callback) {
  constexpr const char* kName = "IdentifySignature";
  CallLock lock;
  Gestal::GSAction action = failedAction();
  action.status.progress.asInt = -1;
  action.status.securityLevel = -1;
  MotionSample sample;
  std::vector<int32_t> candidates;
  const bool read = guarded(kName, [&] {
    if (indexLength != 0 && index == nullptr) {
      throw GestalBridge::HostInputError("candidate action indexes are null");
    }
    if (indexLength != 0) candidates.assign(index, index + indexLength);
    sample = recordingFromHost(data, numDataEntry, entryLength, kName);
  });
  traceLine(">>> IdentifySignature >>> indexLength:", indexLength,
            ", index[0]:", candidates.empty() ? -1 : candidates.front());
  TraceTimer timer;
  if (read) {
    guarded(kName, [&] { action = currentEngine()->IdentifySignature(candidates, sample); });
  }
  timer.stop();
  traceLine("<<< IdentifySignature <<< matched Index:", action.actionIndex,
            ", error:", action.status.error);
  timer.traceTimeSpent();
  if (callback != nullptr) {
    callback(reinterpret_cast<GestalAction*>(&action), &action.status, action.status.progress.asInt,
             action.status.securityLevel);
  }
}

bool DeleteAction(GestalHandle, int32_t index) {
  CallLock lock;
  traceLine(">>> DeleteAction >>> index:", index);
  const bool deleted = guarded("DeleteAction", [&] { currentEngine()->DeleteAction(index); });
  traceLine("<<< DeleteAction <<< result:", deleted ? 1 : 0);
  return deleted;
}

int32_t GetActionIndex(const GestalAction* action) {
  if (action == nullptr) return -1;
  return reinterpret_cast<const Gestal::GSAction*>(action)->actionIndex;
}

int32_t GetErrorType(const GestalStatusBlock* status) {
  return status != nullptr ? status->error : 0;
}

void VerifyGesture(GestalHandle, const int32_t* targets, uint64_t targetCount, const float* data,
                   uint64_t numDataEntry, uint64_t entryLength,
                   GestalVerifyGestureCallback callback) {
  constexpr const char* kName = "VerifyGesture";
  CallLock lock;
  GestureVerifyResult result{-1, 0.0f, 0.0f};
  MotionSample sample;
  const bool read = guarded(kName, [&] {
    if (targetCount != 0 && targets == nullptr) {
      throw GestalBridge::HostInputError("target gesture codes are null");
    }
    sample = recordingFromHost(data, numDataEntry, entryLength, kName);
  });
  traceLine(">>> VerifyGesture >>> Against num of targets: ", targetCount);
  TraceTimer timer;
  if (read) {
    for (uint64_t i = 0; i < targetCount; ++i) traceLine("target index: ", targets[i]);
    guarded(kName, [&] {
      // Codes that name no predefined gesture were traced and are left out.
      std::vector<int32_t> gestureIndexes;
      for (uint64_t i = 0; i < targetCount; ++i) {
        const int32_t gestureIndex = gestureIndexOfCode(targets[i]);
        if (gestureIndex >= 0) gestureIndexes.push_back(gestureIndex);
      }
      result = currentEngine()->VerifyGesture(gestureIndexes, sample);
    });
  }
  timer.stop();
  traceLine("<<< VerifyGesture <<< bestMatch:", result.bestMatch, " score:", result.score,
            " conf: ", result.confidence);
  timer.traceTimeSpent();
  if (callback != nullptr) callback(&result, result.score, result.confidence);
}

int32_t GetGSGesture(const GestureVerifyResult* result) {
  CallLock lock;
  traceLine("** GetGSGesture(", static_cast<const void*>(result), ") **");
  return result != nullptr ? result->bestMatch : -1;
}

void VerifyPredefinedGesture(GestalHandle, const char* classifier, uint64_t classifierLength,
                             uint64_t, uint64_t, const char* targets, const int32_t* targetLengths,
                             uint64_t targetCount, const float* data, uint64_t numDataEntry,
                             uint64_t entryLength, GestalVerifyPredefinedGestureCallback callback) {
  constexpr const char* kName = "VerifyPredefinedGesture";
  CallLock lock;
  GestalPrivate::PredefinedGesture result;
  std::string model;
  std::vector<std::string> names;
  MotionSample sample;
  const bool read = guarded(kName, [&] {
    model = GestalBridge::textFromHost(classifier, classifierLength, "the classifier name");
    names = GestalBridge::namesFromHost(targets, targetCount, targetLengths);
    sample = recordingFromHost(data, numDataEntry, entryLength, kName);
  });
  traceNames(">>> VerifyPredefinedGesture >>> classifier: " + model + ", Target: ", names);
  TraceTimer timer;
  if (read) {
    guarded(kName,
            [&] { result = currentEngine()->VerifyPredefinedGesture(model, names, sample); });
  }
  timer.stop();
  traceLine("<<< VerifyPredefinedGesture <<< bestMatch:", result.name, " score:", result.score,
            " conf: ", result.confidence);
  timer.traceTimeSpent();
  if (callback != nullptr) {
    callback(reinterpret_cast<const GestalGestureName*>(&result.name), result.score,
             result.confidence);
  }
}

int32_t GetResultGesture(const GestalGestureName* name, char* buffer, uint64_t bufferSize) {
  constexpr const char* kName = "GetResultGesture";
  CallLock lock;
  if (name == nullptr) {
    reportFailure(kName, "the name handle is null");
    if (buffer != nullptr) std::memset(buffer, 0, bufferSize);
    return EINVAL;
  }
  return copyOut(kName, *reinterpret_cast<const std::string*>(name), buffer, bufferSize);
}

float VerifySingleGesture(GestalHandle, int32_t gesture, const float* data, uint64_t numDataEntry,
                          uint64_t entryLength) {
  constexpr const char* kName = "VerifySingleGesture";
  CallLock lock;
  const int32_t gestureIndex = gestureIndexOfCode(gesture);
  float score = 0.0f;
  MotionSample sample;
  const bool read =
      guarded(kName, [&] { sample = recordingFromHost(data, numDataEntry, entryLength, kName); });
  traceLine(">>> VerifySingleGesture >>> (index: ", gesture, ", data:...",
            ", numDataEntry: ", numDataEntry, ", entryLength: ", entryLength);
  traceLine("TOTAL_LENGTH: ", numDataEntry * entryLength);
  if (read)
    guarded(kName, [&] { score = currentEngine()->VerifySingleGesture(gestureIndex, sample); });
  traceLine("<<< VerifySingleGesture <<< gesture:", gestureIndex, " score:", score);
  traceLine();
  return score;
}

namespace {

void setCustomGesture(const char* exportName, const std::string& nameSpace,
                      const std::string& gestureIndex, const float* data, uint64_t numOfData,
                      const int32_t* lengths, const int32_t* entryLengths) {
  CallLock lock;
  traceLine(">>> SetCustomGesture >>> index:", gestureIndex, " numOfData:", numOfData);
  if (lengths != nullptr && entryLengths != nullptr) {
    for (uint64_t i = 0; i < numOfData; ++i) {
      traceLine(lengths[i]);
      traceLine("Data #", i, ", length:", lengths[i], ", entryLength:", entryLengths[i]);
    }
  }
  guarded(exportName, [&] {
    std::vector<MotionSample> recordings =
        GestalBridge::recordingsFromHost(data, numOfData, lengths, entryLengths);
    currentEngine()->SetCustomGesture(nameSpace, gestureIndex, recordings);
  });
  traceLine("<<< SetCustomGesture <<<");
}

CustomGestureResult* identifyCustomGesture(const char* exportName, const std::string& nameSpace,
                                           const std::vector<std::string>& targets, bool read,
                                           const MotionSample& sample) {
  CallLock lock;
  GestalPrivate::CustomGestureResult found;
  if (read) {
    guarded(exportName,
            [&] { found = currentEngine()->IdentifyCustomGesture(nameSpace, targets, sample); });
  }
  traceLine("<<< IdentifyCustomGesture <<< result.matchedGesture: ", found.matchedGesture,
            ", result.confidence: ", found.confidence);
  CustomGestureResult* result = nullptr;
  guarded(exportName, [&] {
    result = new CustomGestureResult{std::move(found.matchedGesture), found.confidence};
  });
  return result;
}

}  // namespace

void SetCustomGesture(GestalHandle, int32_t index, const float* data, uint64_t numOfData,
                      const int32_t* lengths, const int32_t* entryLengths) {
  setCustomGesture("SetCustomGesture", kPlayerNameSpace, std::to_string(index), data, numOfData,
                   lengths, entryLengths);
}

void SetCustomGestureStr(GestalHandle, const char* name, uint64_t nameLength, const float* data,
                         uint64_t numOfData, const int32_t* lengths, const int32_t* entryLengths) {
  constexpr const char* kName = "SetCustomGestureStr";
  CallLock lock;
  std::string gestureIndex;
  if (!guarded(kName, [&] {
        gestureIndex = kSmartPrefix + GestalBridge::textFromHost(name, nameLength, "the name");
      })) {
    return;
  }
  setCustomGesture(kName, kSmartNameSpace, gestureIndex, data, numOfData, lengths, entryLengths);
}

CustomGestureResult* IdentifyCustomGesture(GestalHandle, const int32_t* targets,
                                           uint64_t targetCount, const float* data,
                                           uint64_t numDataEntry, uint64_t entryLength) {
  constexpr const char* kName = "IdentifyCustomGesture";
  CallLock lock;
  std::vector<std::string> names;
  MotionSample sample;
  const bool read = guarded(kName, [&] {
    if (targetCount != 0 && targets == nullptr) {
      throw GestalBridge::HostInputError("target gesture indexes are null");
    }
    for (uint64_t i = 0; i < targetCount; ++i) names.push_back(std::to_string(targets[i]));
    sample = recordingFromHost(data, numDataEntry, entryLength, kName);
  });
  traceLine(">>> IdentifyCustomGesture >>>");
  return identifyCustomGesture(kName, kPlayerNameSpace, names, read, sample);
}

CustomGestureResult* IdentifyCustomGestureStr(GestalHandle, const char* targets,
                                              uint64_t targetCount, const int32_t* targetLengths,
                                              const float* data, uint64_t numDataEntry,
                                              uint64_t entryLength) {
  constexpr const char* kName = "IdentifyCustomGestureStr";
  CallLock lock;
  std::vector<std::string> names;
  MotionSample sample;
  const bool read = guarded(kName, [&] {
    names = GestalBridge::namesFromHost(targets, targetCount, targetLengths);
    for (std::string& name : names) name.insert(0, kSmartPrefix);
    sample = recordingFromHost(data, numDataEntry, entryLength, kName);
  });
  traceNames(">>> IdentifyCustomGesture >>> Target: ", names);
  return identifyCustomGesture(kName, kSmartNameSpace, names, read, sample);
}

int32_t GetGSCustomGestureRecognizeGestureInt(const CustomGestureResult* result) {
  CallLock lock;
  if (result == nullptr) {
    reportFailure("GetGSCustomGestureRecognizeGestureInt", "the result is null");
    return -1;
  }
  const std::optional<int64_t> value = GestalPrivate::leadingInteger(result->matchedGesture);
  if (!value || *value < INT32_MIN || *value > INT32_MAX) return -1;
  return static_cast<int32_t>(*value);
}

void GetGSCustomGestureRecognizeGestureStr(const CustomGestureResult* result, char* buffer,
                                           uint64_t bufferSize) {
  constexpr const char* kName = "GetGSCustomGestureRecognizeGestureStr";
  CallLock lock;
  if (result == nullptr) {
    reportFailure(kName, "the result is null");
    if (buffer != nullptr) std::memset(buffer, 0, bufferSize);
    return;
  }
  const std::string_view name = result->matchedGesture;
  copyOut(kName, name.size() >= 5 ? name.substr(5) : std::string_view(), buffer, bufferSize);
}

float GetGSCustomGestureRecognizeGestureConfidence(const CustomGestureResult* result) {
  CallLock lock;
  if (result == nullptr) {
    reportFailure("GetGSCustomGestureRecognizeGestureConfidence", "the result is null");
    return 0.0f;
  }
  return result->confidence;
}

void DeleteGSCustomGestureRecognizeGesture(CustomGestureResult* result) {
  CallLock lock;
  delete result;
}

bool IsCustomGestureExisted(GestalHandle, const float* data, uint64_t numDataEntry,
                            uint64_t entryLength) {
  constexpr const char* kName = "IsCustomGestureExisted";
  CallLock lock;
  bool existed = false;
  MotionSample sample;
  const bool read =
      guarded(kName, [&] { sample = recordingFromHost(data, numDataEntry, entryLength, kName); });
  traceLine(">>> IsCustomGestureExisted >>>");
  if (read) {
    guarded(kName,
            [&] { existed = currentEngine()->IsCustomGestureExisted(kPlayerNameSpace, sample); });
  }
  traceLine("<<< IsCustomGestureExisted <<<");
  return existed;
}

bool IsTwoGestureSimilar(GestalHandle, const float* data1, uint64_t numDataEntry1,
                         uint64_t entryLength1, const float* data2, uint64_t numDataEntry2,
                         uint64_t entryLength2) {
  constexpr const char* kName = "IsTwoGestureSimilar";
  CallLock lock;
  bool similar = false;
  MotionSample first;
  MotionSample second;
  const bool read = guarded(kName, [&] {
    first = recordingFromHost(data1, numDataEntry1, entryLength1, kName);
    second = recordingFromHost(data2, numDataEntry2, entryLength2, kName);
  });
  traceLine(">>> IsTwoGestureSimilar >>> Data1 Length: ", numDataEntry1,
            ", Data2 Length: ", numDataEntry2);
  if (read) guarded(kName, [&] { similar = currentEngine()->IsTwoGestureSimilar(first, second); });
  traceLine("<<< IsTwoGestureSimilar <<< isSimilar: ", similar ? "true" : "false");
  traceLine();
  return similar;
}

bool SetTriggeringMask(GestalHandle handle, uint64_t controller, uint64_t keys, uint64_t flag) {
  bool stored = false;
  withHelper(handle, "SetTriggeringMask",
             [&](ControllerHelper& h) { stored = h.setTriggeringMask(controller, keys, flag); });
  return stored;
}

void SetTriggerStartKeys(GestalHandle handle, int32_t controllers, uint64_t keys, bool flag) {
  withHelper(handle, "SetTriggerStartKeys",
             [&](ControllerHelper& h) { h.setTriggerStartKeys(controllers, keys, flag); });
}

void SetTriggerEndKeys(GestalHandle handle, int32_t controllers, uint64_t keys, bool flag) {
  withHelper(handle, "SetTriggerEndKeys",
             [&](ControllerHelper& h) { h.setTriggerEndKeys(controllers, keys, flag); });
}

void ClearTriggerStartKeys(GestalHandle handle, int32_t controllers) {
  withHelper(handle, "ClearTriggerStartKeys",
             [&](ControllerHelper& h) { h.clearTriggerStartKeys(controllers); });
}

void ClearTriggerEndKeys(GestalHandle handle, int32_t controllers) {
  withHelper(handle, "ClearTriggerEndKeys",
             [&](ControllerHelper& h) { h.clearTriggerEndKeys(controllers); });
}

}  // extern "C"
