// Loads the shared library as a host does and finds all its functions by name: the 31 of the
// controller helper and the three host controls.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "gestal.h"
#include "support/CaptureOutput.h"
#include "support/TempDir.h"

namespace {

const char* const kExports =
    "GetControllerHelperObject GetControllerHelperObjectWithConfig GetControllerHelperVersion "
    "Shutdown SetSensorDataCallback SetMovementCallback AddSignature IdentifySignature "
    "DeleteAction GetActionIndex GetErrorType VerifyGesture GetGSGesture VerifyPredefinedGesture "
    "GetResultGesture VerifySingleGesture SetCustomGesture SetCustomGestureStr "
    "IdentifyCustomGesture IdentifyCustomGestureStr GetGSCustomGestureRecognizeGestureInt "
    "GetGSCustomGestureRecognizeGestureStr GetGSCustomGestureRecognizeGestureConfidence "
    "DeleteGSCustomGestureRecognizeGesture IsCustomGestureExisted IsTwoGestureSimilar "
    "SetTriggeringMask SetTriggerStartKeys SetTriggerEndKeys ClearTriggerStartKeys "
    "ClearTriggerEndKeys GestalSetLogHandler GestalSetLockPolicy GestalVersion";

TEST(SharedLibrary, ExportsEveryFunctionAndRunsACreateCycle) {
  void* library = dlopen(GESTAL_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  std::istringstream names(kExports);
  int found = 0;
  for (std::string name; names >> name; ++found)
    EXPECT_NE(dlsym(library, name.c_str()), nullptr) << name;
  EXPECT_EQ(found, 34);

  auto create = reinterpret_cast<decltype(&GetControllerHelperObject)>(
      dlsym(library, "GetControllerHelperObject"));
  auto version = reinterpret_cast<decltype(&GetControllerHelperVersion)>(
      dlsym(library, "GetControllerHelperVersion"));
  auto shutdown = reinterpret_cast<decltype(&Shutdown)>(dlsym(library, "Shutdown"));
  auto libraryVersion = reinterpret_cast<decltype(&GestalVersion)>(dlsym(library, "GestalVersion"));
  EXPECT_STREQ(libraryVersion(), GESTAL_VERSION_STRING);

  char* text = nullptr;
  uint64_t length = 0;
  version(nullptr, &text, &length);
  EXPECT_STREQ(text, "1.00");
  EXPECT_EQ(length, 4u);
  std::free(text);

  GestalTest::TempDir dir;
  GestalTest::CaptureOutput out;
  GestalHandle handle = create(dir.path().data(), dir.path().size());
  EXPECT_NE(handle, nullptr);
  shutdown(handle);
  EXPECT_EQ(out.take().rfind("mEventMonitorCount: 12\n", 0), 0u);
  dlclose(library);
}

}  // namespace
