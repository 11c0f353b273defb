// A host of the library, as a game engine plug-in would be: it loads libgestal.so with dlopen,
// creates the controller helper in a fresh directory and drives every service with synthesized
// controller recordings. Usage: gestal-demo <path to libgestal.so> [<model file to install>]
//
// The library writes its own trace lines to stdout; the demo's own lines start with "demo:".

#include <dlfcn.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gestal.h"
#include "synth/MotionSynth.h"

namespace {

using GestalSynth::Shape;

#define GESTAL_DEMO_FUNCTIONS(X)                  \
  X(GetControllerHelperObject)                    \
  X(GetControllerHelperVersion)                   \
  X(Shutdown)                                     \
  X(SetTriggeringMask)                            \
  X(SetTriggerStartKeys)                          \
  X(SetTriggerEndKeys)                            \
  X(ClearTriggerStartKeys)                        \
  X(ClearTriggerEndKeys)                          \
  X(AddSignature)                                 \
  X(IdentifySignature)                            \
  X(GetActionIndex)                               \
  X(GetErrorType)                                 \
  X(VerifyGesture)                                \
  X(GetGSGesture)                                 \
  X(SetCustomGesture)                             \
  X(SetCustomGestureStr)                          \
  X(IdentifyCustomGesture)                        \
  X(IdentifyCustomGestureStr)                     \
  X(GetGSCustomGestureRecognizeGestureInt)        \
  X(GetGSCustomGestureRecognizeGestureStr)        \
  X(GetGSCustomGestureRecognizeGestureConfidence) \
  X(DeleteGSCustomGestureRecognizeGesture)        \
  X(IsTwoGestureSimilar)

// The library's functions, looked up by name as a host does.
struct Library {
  void* handle = nullptr;
#define GESTAL_DEMO_DECLARE(name) decltype(&::name) name = nullptr;
  GESTAL_DEMO_FUNCTIONS(GESTAL_DEMO_DECLARE)
#undef GESTAL_DEMO_DECLARE
};

Library lib;

bool load(const char* path) {
  lib.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (lib.handle == nullptr) {
    std::fprintf(stderr, "demo: cannot load %s: %s\n", path, dlerror());
    return false;
  }
  bool complete = true;
#define GESTAL_DEMO_RESOLVE(name)                                            \
  lib.name = reinterpret_cast<decltype(lib.name)>(dlsym(lib.handle, #name)); \
  if (lib.name == nullptr) {                                                 \
    std::fprintf(stderr, "demo: %s does not export %s\n", path, #name);      \
    complete = false;                                                        \
  }
  GESTAL_DEMO_FUNCTIONS(GESTAL_DEMO_RESOLVE)
#undef GESTAL_DEMO_RESOLVE
  return complete;
}

// What the callbacks report; a host copies what it needs inside the callback.
struct Reply {
  int32_t action = -1;
  int32_t error = 0;
  float progress = 0.0f;
  int32_t detail = 0;
  int32_t bestMatch = -1;
  float score = 0.0f;
  float confidence = 0.0f;
};
Reply reply;

void onAddSignature(GestalAction* action, GestalStatusBlock* status, float progress,
                    int32_t* complexity) {
  reply = Reply{};
  reply.action = lib.GetActionIndex(action);
  reply.error = lib.GetErrorType(status);
  reply.progress = progress;
  reply.detail = *complexity;
}

void onIdentify(GestalAction* action, GestalStatusBlock* status, int32_t remainingTrials,
                int32_t lockSeconds) {
  reply = Reply{};
  reply.action = lib.GetActionIndex(action);
  reply.error = lib.GetErrorType(status);
  reply.detail = remainingTrials;
  (void)lockSeconds;
}

void onVerify(GestureVerifyResult* result, float score, float confidence) {
  reply = Reply{};
  reply.bestMatch = lib.GetGSGesture(result);
  reply.score = score;
  reply.confidence = confidence;
}

void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void say(const char* format, ...) {
  std::fflush(stdout);
  va_list args;
  va_start(args, format);
  std::printf("demo: ");
  std::vprintf(format, args);
  std::printf("\n");
  va_end(args);
  std::fflush(stdout);
}

const char* shapeName(Shape shape) {
  switch (shape) {
    case Shape::Heart:
      return "heart";
    case Shape::LetterC:
      return "letter C";
    case Shape::SwipeDown:
      return "downward swipe";
    case Shape::Circle:
      return "circle";
    case Shape::ZigZag:
      return "zig-zag";
    case Shape::Signature:
      return "signature";
  }
  return "?";
}

std::vector<float> performance(const GestalSynth::User& user, Shape shape, uint64_t repetition) {
  return GestalSynth::flatten(GestalSynth::perform(user, shape, repetition));
}

uint64_t entries(const std::vector<float>& data) {
  return data.size() / 10;
}

// Two users enrol their own signature for their own action; then new performances are identified.
int demoSignatures(GestalHandle handle) {
  say("--- motion signatures: two users enrol, then sign again ---");
  const GestalSynth::User users[] = {GestalSynth::makeUser(101), GestalSynth::makeUser(202)};
  const int32_t actions[] = {1, 2};
  int failures = 0;
  for (int u = 0; u < 2; ++u) {
    for (uint64_t repetition = 0; repetition < 7; ++repetition) {
      std::vector<float> data = performance(users[u], Shape::Signature, repetition);
      lib.AddSignature(handle, actions[u], data.data(), entries(data), 10, onAddSignature);
      say("user %d, performance %llu: error %d, progress %.1f", u + 1,
          static_cast<unsigned long long>(repetition + 1), reply.error, reply.progress);
      if (reply.error == 0 && reply.progress >= 1.0f) break;
    }
    if (reply.progress < 1.0f) {
      say("user %d could not enrol", u + 1);
      ++failures;
    }
  }
  for (int u = 0; u < 2; ++u) {
    for (uint64_t repetition = 20; repetition < 22; ++repetition) {
      std::vector<float> data = performance(users[u], Shape::Signature, repetition);
      lib.IdentifySignature(handle, data.data(), entries(data), 10, &actions[u], 1, onIdentify);
      say("user %d signs for their own action %d: action %d, error %d", u + 1, actions[u],
          reply.action, reply.error);
      lib.IdentifySignature(handle, data.data(), entries(data), 10, &actions[1 - u], 1, onIdentify);
      say("user %d signs for the other user's action %d: action %d, error %d", u + 1,
          actions[1 - u], reply.action, reply.error);
    }
  }
  return failures;
}

// Custom gestures: three in name space "player", two named ones in "smart".
void demoCustomGestures(GestalHandle handle) {
  say("--- custom gestures: define from three recordings each, then identify ---");
  const GestalSynth::User owner = GestalSynth::makeUser(303);
  const GestalSynth::User visitor = GestalSynth::makeUser(404);
  const Shape shapes[] = {Shape::Heart, Shape::Circle, Shape::ZigZag};
  auto define = [&](auto&& store, Shape shape) {
    std::vector<float> data;
    std::vector<int32_t> lengths;
    for (uint64_t repetition = 0; repetition < 3; ++repetition) {
      std::vector<float> one = performance(owner, shape, repetition);
      data.insert(data.end(), one.begin(), one.end());
      lengths.push_back(static_cast<int32_t>(entries(one)));
    }
    std::vector<int32_t> entryLengths(lengths.size(), 10);
    store(data, lengths, entryLengths);
  };
  for (int32_t index = 0; index < 3; ++index) {
    define(
        [&](auto& data, auto& lengths, auto& entryLengths) {
          lib.SetCustomGesture(handle, index, data.data(), lengths.size(), lengths.data(),
                               entryLengths.data());
        },
        shapes[index]);
    say("defined custom gesture %d: %s", index, shapeName(shapes[index]));
  }
  const std::string names[] = {"wave", "swipe"};
  const Shape namedShapes[] = {Shape::Circle, Shape::SwipeDown};
  for (int i = 0; i < 2; ++i) {
    define(
        [&](auto& data, auto& lengths, auto& entryLengths) {
          lib.SetCustomGestureStr(handle, names[i].data(), names[i].size(), data.data(),
                                  lengths.size(), lengths.data(), entryLengths.data());
        },
        namedShapes[i]);
    say("defined named gesture '%s': %s", names[i].c_str(), shapeName(namedShapes[i]));
  }
  for (const GestalSynth::User* user : {&owner, &visitor}) {
    const char* who = user == &owner ? "owner" : "another user";
    for (int32_t index = 0; index < 3; ++index) {
      std::vector<float> data = performance(*user, shapes[index], 30);
      CustomGestureResult* result =
          lib.IdentifyCustomGesture(handle, nullptr, 0, data.data(), entries(data), 10);
      say("%s performs a %s: identified as %d (confidence %.3f)", who, shapeName(shapes[index]),
          lib.GetGSCustomGestureRecognizeGestureInt(result),
          lib.GetGSCustomGestureRecognizeGestureConfidence(result));
      lib.DeleteGSCustomGestureRecognizeGesture(result);
    }
  }
  say("custom gestures are personal: another user's way of drawing may match another gesture");
  const std::string targets = names[0] + names[1];
  const int32_t targetLengths[] = {static_cast<int32_t>(names[0].size()),
                                   static_cast<int32_t>(names[1].size())};
  for (int i = 0; i < 2; ++i) {
    std::vector<float> data = performance(visitor, namedShapes[i], 31);
    CustomGestureResult* result = lib.IdentifyCustomGestureStr(
        handle, targets.data(), 2, targetLengths, data.data(), entries(data), 10);
    char name[64];
    lib.GetGSCustomGestureRecognizeGestureStr(result, name, sizeof name);
    say("another user performs a %s among the named gestures: identified as '%s'",
        shapeName(namedShapes[i]), name);
    lib.DeleteGSCustomGestureRecognizeGesture(result);
  }
}

void demoSimilarity(GestalHandle handle) {
  say("--- similarity of two recordings ---");
  const GestalSynth::User user = GestalSynth::makeUser(505);
  std::vector<float> heart1 = performance(user, Shape::Heart, 1);
  std::vector<float> heart2 = performance(user, Shape::Heart, 2);
  std::vector<float> swipe = performance(user, Shape::SwipeDown, 1);
  const bool same = lib.IsTwoGestureSimilar(handle, heart1.data(), entries(heart1), 10,
                                            heart2.data(), entries(heart2), 10);
  const bool different = lib.IsTwoGestureSimilar(handle, heart1.data(), entries(heart1), 10,
                                                 swipe.data(), entries(swipe), 10);
  say("two hearts similar: %s; heart and downward swipe similar: %s", same ? "yes" : "no",
      different ? "yes" : "no");
}

void demoPredefined(GestalHandle handle) {
  say("--- predefined gestures with the shipped model ---");
  const int32_t codes[] = {GESTAL_GESTURE_HEART, GESTAL_GESTURE_C, GESTAL_GESTURE_DOWN};
  const char* names[] = {"HEART", "C", "DOWN"};
  const Shape shapes[] = {Shape::Heart, Shape::LetterC, Shape::SwipeDown};
  for (uint64_t userSeed : {606u, 707u}) {
    const GestalSynth::User user = GestalSynth::makeUser(userSeed);
    for (int g = 0; g < 3; ++g) {
      std::vector<float> data = performance(user, shapes[g], 1);
      lib.VerifyGesture(handle, codes, 3, data.data(), entries(data), 10, onVerify);
      say("a %s is recognised as %s (score %.3f, confidence %.3f)", shapeName(shapes[g]),
          reply.bestMatch >= 0 ? names[reply.bestMatch] : "nothing", reply.score, reply.confidence);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gestal-demo <libgestal.so> [<model file>]\n");
    return 2;
  }
  if (!load(argv[1])) return 1;

  char pattern[] = "/tmp/gestal-demo-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    std::perror("demo: mkdtemp");
    return 1;
  }
  const std::string directory = std::string(pattern) + "/";
  if (argc > 2) {
    std::error_code error;
    std::filesystem::copy_file(argv[2], directory + "gestal_gesture_adaboost", error);
    if (error) say("could not install the model %s: %s", argv[2], error.message().c_str());
  }

  char* version = nullptr;
  uint64_t length = 0;
  lib.GetControllerHelperVersion(nullptr, &version, &length);
  say("library version %s (%llu characters)", version, static_cast<unsigned long long>(length));
  std::free(version);

  GestalHandle handle = lib.GetControllerHelperObject(directory.data(), directory.size());
  if (handle == nullptr) {
    say("the controller helper could not be created");
    return 1;
  }
  say("trigger keys: mask for controller 1 %s, start/end keys set and cleared",
      lib.SetTriggeringMask(handle, 1, 0x4, 1) ? "stored" : "refused");
  lib.SetTriggerStartKeys(handle, 1, 0x1, true);
  lib.SetTriggerEndKeys(handle, 2, 0x2, false);
  lib.ClearTriggerStartKeys(handle, 1);
  lib.ClearTriggerEndKeys(handle, 2);

  const int failures = demoSignatures(handle);
  demoCustomGestures(handle);
  demoSimilarity(handle);
  demoPredefined(handle);

  lib.Shutdown(handle);
  std::filesystem::remove_all(pattern);
  say("done");
  return failures == 0 ? 0 : 1;
}
