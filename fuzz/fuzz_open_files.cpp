// Opening a signature database, a custom gesture database or a predefined gesture model made of
// any bytes, and using it: the engine refuses or answers, and never crashes.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "core/Log.h"
#include "engine/GSEngine.h"

namespace {

void silence(int32_t, const char*, void*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const GestalFuzz::ScratchDirectory scratch("files");
  const std::string dir = scratch.path();
  GestalPrivate::setLogHandler(silence, nullptr);
  GestalFuzz::Reader in{data, size};
  const char* const files[] = {"gestal.db", "gestal_custom.db", Gestal::kDefaultGestureModel};
  const std::string file = files[in.take(1) % 3];
  for (const char* name : files) std::filesystem::remove(dir + name);
  std::ofstream(dir + file, std::ios::binary)
      .write(reinterpret_cast<const char*>(in.data), static_cast<std::streamsize>(in.size));

  const GestalPrivate::MotionSample sample = {{0, 1, 2, 3, 0, 0, 0, 0, 0, 0},
                                              {20, -3, 2, 1, 0, 0, 0, 0, 0, 0},
                                              {40, 3, -2, -1, 0, 0, 0, 0, 0, 0}};
  try {
    auto engine = std::make_unique<Gestal::GSEngine>(dir, Gestal::GSEngineParameters());
    const auto guarded = [](auto&& call) {
      try {
        call();
      } catch (const std::exception&) {
      } catch (const char*) {
      }
    };
    guarded([&] { engine->IdentifySignature({}, sample); });
    guarded([&] { engine->AddSignature(1, sample); });
    guarded([&] { engine->IdentifyCustomGesture("player", {}, sample); });
    guarded([&] { engine->IsCustomGestureExisted("player", sample); });
    guarded([&] { engine->VerifyGesture({0, 1, 2}, sample); });
    guarded([&] { engine->VerifySingleGesture(0, sample); });
  } catch (const std::exception&) {
  }
  return 0;
}
