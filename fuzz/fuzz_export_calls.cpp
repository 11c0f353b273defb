// Sequences of exported calls with arguments from the input, as a host that keeps one helper
// for a long session would make them: no call may crash or let an exception out.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "core/Log.h"
#include "gestal.h"
#include "support/ReadingCallbacks.h"

namespace {

using namespace GestalTest;

void silence(int32_t, const char*, void*) {}

uint64_t entries(const std::vector<float>& recording) {
  return recording.size() / 10;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const GestalFuzz::ScratchDirectory scratch("calls");
  static const std::string dir = [] {
    const std::string path = scratch.path();
    std::filesystem::copy_file(GESTAL_SOURCE_DIR "/models/gestal_gesture_adaboost",
                               path + "gestal_gesture_adaboost",
                               std::filesystem::copy_options::overwrite_existing);
    return path;
  }();
  static GestalHandle handle = nullptr;
  static int creates = 0;
  GestalPrivate::setLogHandler(silence, nullptr);
  if (handle == nullptr) handle = GetControllerHelperObject(dir.data(), dir.size());

  GestalFuzz::Reader in{data, size};
  for (int call = 0; call < 8 && in.size > 0; ++call) {
    const uint32_t op = in.take(1) % 12;
    const int32_t index = static_cast<int32_t>(in.take(1) % 6) - 1;
    const std::vector<float> a = in.recording();
    switch (op) {
      case 0:
        AddSignature(handle, index, a.data(), entries(a), 10, readEnrolment);
        break;
      case 1: {
        const int32_t candidates[] = {index, 1, 2};
        IdentifySignature(handle, a.data(), entries(a), 10, candidates, in.take(1) % 4,
                          readIdentification);
        break;
      }
      case 2:
        DeleteAction(handle, index);
        break;
      case 3: {
        const int32_t codes[] = {1001, 1003, 1006, index};
        VerifyGesture(handle, codes, in.take(1) % 5, a.data(), entries(a), 10, readVerification);
        VerifySingleGesture(handle, 1001 + index, a.data(), entries(a), 10);
        break;
      }
      case 4: {
        const std::vector<float> b = in.recording();
        std::vector<float> both = a;
        both.insert(both.end(), b.begin(), b.end());
        const int32_t lengths[] = {static_cast<int32_t>(entries(a)),
                                   static_cast<int32_t>(entries(b))};
        const int32_t widths[] = {10, 10};
        SetCustomGesture(handle, index, both.data(), in.take(1) % 3, lengths, widths);
        break;
      }
      case 5: {
        const int32_t targets[] = {index, 2};
        DeleteGSCustomGestureRecognizeGesture(
            IdentifyCustomGesture(handle, targets, in.take(1) % 3, a.data(), entries(a), 10));
        break;
      }
      case 6:
        IsCustomGestureExisted(handle, a.data(), entries(a), 10);
        break;
      case 7: {
        const std::vector<float> b = in.recording();
        IsTwoGestureSimilar(handle, a.data(), entries(a), 10, b.data(), entries(b), 10);
        break;
      }
      case 8: {
        const char name[] = "wave";
        const int32_t lengths[] = {static_cast<int32_t>(entries(a))};
        const int32_t widths[] = {10};
        SetCustomGestureStr(handle, name, in.take(1) % 5, a.data(), 1, lengths, widths);
        const int32_t nameLengths[] = {static_cast<int32_t>(in.take(1) % 5)};
        CustomGestureResult* result =
            IdentifyCustomGestureStr(handle, name, 1, nameLengths, a.data(), entries(a), 10);
        char buffer[8];
        GetGSCustomGestureRecognizeGestureStr(result, buffer, sizeof buffer);
        GetGSCustomGestureRecognizeGestureInt(result);
        GetGSCustomGestureRecognizeGestureConfidence(result);
        DeleteGSCustomGestureRecognizeGesture(result);
        break;
      }
      case 9: {
        // Any file of the directory may be named as the model.
        const char* const models[] = {"gestal_gesture_adaboost", "gestal.db", "gestal_custom.db",
                                      "none"};
        const std::string model = models[in.take(1) % 4];
        const char targets[] = "HEARTCDOWN";
        const int32_t lengths[] = {5, 1, 4};
        VerifyPredefinedGesture(handle, model.data(), model.size(), 0, 0, targets, lengths,
                                in.take(1) % 4, a.data(), entries(a), 10, readPredefined);
        break;
      }
      case 10:
        // A new helper replaces the engine; bounded, as every engine stays in memory.
        if (creates < 20) {
          ++creates;
          Shutdown(handle);
          handle = GetControllerHelperObject(dir.data(), dir.size());
        }
        break;
      default:
        // Either matcher (or a refused value) serves the identifications that follow.
        GestalSetMatcher(handle, (index + 1) % 3);
        GestalSetMinConfidence(handle, static_cast<float>(in.take(1)) / 64.0f - 0.5f);
        SetTriggeringMask(handle, in.take(1) % 3, in.take(4), in.take(1) % 3);
        SetTriggerStartKeys(handle, index, in.take(4), index & 1);
        ClearTriggerEndKeys(handle, index);
        break;
    }
  }
  return 0;
}
