// The stored recording decoder on any text: it never crashes, and it reads and refuses exactly as
// the plain reference decoder does.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/SampleText.h"
#include "reference/SampleTextReference.h"

namespace {

using namespace GestalPrivate;

template <typename Decoder>
std::string outcome(Decoder decode, const std::string& text, NullValues nulls) {
  try {
    const MotionSample sample = decode(text, nulls);
    return std::string(reinterpret_cast<const char*>(sample.data()),
                       sample.size() * sizeof(MotionEntry));
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
        outcome(GestalReference::readSampleText, text, nulls)) {
      std::fprintf(stderr, "the decoder and the reference disagree\n");
      std::abort();
    }
  }
  return 0;
}
