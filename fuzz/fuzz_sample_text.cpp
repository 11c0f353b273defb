// The stored recording decoders on any text: they never crash, and they read and refuse exactly as
// the plain reference decoder does (the one for matching, the values it reads).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/SampleText.h"
#include "reference/SampleTextReference.h"

namespace {

using namespace GestalPrivate;

// The first `fields` values of every entry as bytes, or the refusal.
template <typename Decoder>
std::string outcome(Decoder decode, const std::string& text, NullValues nulls,
                    std::size_t fields = 10) {
  try {
    std::string values;
    for (const MotionEntry& entry : decode(text, nulls)) {
      values.append(reinterpret_cast<const char*>(entry.data()), fields * sizeof(float));
    }
    return values;
  } catch (const SampleTextError& e) {
    return std::string("refused: ") + e.what();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (NullValues nulls : {NullValues::Reject, NullValues::AsNaN}) {
    // NaN payloads compare by their bits, so the comparison is exact.
    if (outcome(readSampleText, text, nulls) !=
            outcome(GestalReference::readSampleText, text, nulls) ||
        outcome(readSampleMotion, text, nulls, 4) !=
            outcome(GestalReference::readSampleText, text, nulls, 4)) {
      std::fprintf(stderr, "the decoder and the reference disagree\n");
      std::abort();
    }
  }
  return 0;
}
