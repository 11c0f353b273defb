#include "core/GestalCore.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/Exceptions.h"
#include "core/Kernels.h"

namespace GestalPrivate {

namespace {

constexpr uint32_t kNoLevel = 0xFFFFFFFF;
constexpr int32_t kActivityRow = 5;

// Tolerance rows per signature type (0 to 2) and security level (0 to 4).
constexpr int32_t kToleranceRows[3][5] = {{0, 1, 4, 5, 7}, {0, 2, 3, 7, 8}, {0, 1, 2, 5, 9}};

// Truncates toward zero to a 32-bit integer and keeps the low 16 bits. A value that has no 32-bit
// integer (NaN, or beyond +/- 2^31) gives the integer indefinite 0x80000000, whose low 16 bits
// are 0, as the processor's truncating conversion does.
int16_t wrapTo16(float value) {
  if (!(value >= -2147483648.0f && value < 2147483648.0f)) return 0;
  return static_cast<int16_t>(
      static_cast<uint16_t>(static_cast<uint32_t>(static_cast<int32_t>(value))));
}

bool isZeroVector(float x, float y, float z) {
  return x == 0.0f && y == 0.0f && z == 0.0f;
}

int32_t variantOf(uint32_t signType) {
  return signType == 1 ? 1 : 0;
}

// Kernel codes travel as floats; the code is the integer part of a tenth of the integer part of
// ten times the value. -1 and -2 (an empty symbol string) mean "not comparable".
enum class Failure { NotComparable, OutOfBuffer, Other };

Failure classify(float code) {
  const int32_t decoded = static_cast<int32_t>(code * 10.0f) / 10;
  if (decoded == -1 || decoded == -2) return Failure::NotComparable;
  if (decoded == -3 || decoded == -4) return Failure::OutOfBuffer;
  return Failure::Other;
}

[[noreturn]] void raise(Failure failure) {
  if (failure == Failure::OutOfBuffer) throw GestalCoreOutOfBufferException();
  throw GestalCoreException();
}

// What signatureSimilarity gives for the two recordings, from their symbols.
float similarity(const PreparedRecording& a, const PreparedRecording& b, int32_t index,
                 int32_t variant) {
  return symbolSimilarity(a.symbols(variant, index), b.symbols(variant, index),
                          strengthRow(variant, index).factor);
}

}  // namespace

PreparedSequence GestalCore::prepareSequence(const MotionSample& sample, bool decimate) const {
  PreparedSequence prepared;
  if (sample.empty()) return prepared;
  prepared.values.resize(sample.size() * 4);
  int16_t* out = prepared.values.data();
  size_t kept = 0;
  // The grid starts 20 ms before zero and moves 20 ms per kept entry, not per 20 ms elapsed.
  int64_t next = -20;
  for (const MotionEntry& entry : sample) {
    if (decimate && static_cast<float>(next) > entry[kTime]) continue;
    const float x = entry[kPrimaryX];
    const float y = entry[kPrimaryY];
    const float z = entry[kPrimaryZ];
    if (isZeroVector(x, y, z)) continue;
    out[kept * 4] = wrapTo16(entry[kTime]);
    out[kept * 4 + 1] = wrapTo16(x * 100.0f);
    out[kept * 4 + 2] = wrapTo16(y * 100.0f);
    out[kept * 4 + 3] = wrapTo16(z * 100.0f);
    ++kept;
    next += 20;
  }
  prepared.values.resize(kept * 4);
  return prepared;
}

float GestalCore::sampleRate(const MotionSample& sample) const {
  if (sample.size() < 2) return 0.0f;
  const float duration = sample.back()[kTime] - sample.front()[kTime];
  int64_t count = 0;
  for (const MotionEntry& entry : sample)
    count += !isZeroVector(entry[kPrimaryX], entry[kPrimaryY], entry[kPrimaryZ]);
  const float entriesTimes1000 = static_cast<float>(count * 1000);
  // A recording whose first and last times are equal keeps the IEEE quotient: infinite with a
  // non-empty entry (complexityLevel then limits the rate), NaN without (every bucket test of
  // complexityLevel fails and the level is 5). Spelled out so no division by zero is executed.
  if (duration == 0.0f)
    return count > 0 ? std::numeric_limits<float>::infinity()
                     : std::numeric_limits<float>::quiet_NaN();
  return entriesTimes1000 / duration;
}

int32_t GestalCore::complexityLevel(int32_t activity, float rate) const {
  // Below 50 entries per second the bucket edges shrink in proportion to the rate. A NaN rate
  // stays NaN, fails every test and gives the top level.
  double scale = static_cast<double>(rate) / 50.0;
  if (scale > 1.0) scale = 1.0;
  const float r = static_cast<float>(scale);
  const float a = static_cast<float>(activity);
  if (50.0f * r >= a) return 0;
  if (90.0f * r >= a) return 1;
  if (140.0f * r >= a) return 2;
  if (200.0f * r >= a) return 3;
  if (260.0f * r >= a) return 4;
  return 5;
}

bool GestalCore::isLongEnough(const MotionSample& sample) const {
  return sample.size() >= 2 && sample.back()[kTime] - sample.front()[kTime] >= 250.0f;
}

bool GestalCore::isWithinLimits(const MotionSample& sample, int32_t activity) const {
  if (sample.size() >= 3 && sample.back()[kTime] - sample.front()[kTime] > 10000.0f) return false;
  return activity <= 800;
}

bool GestalCore::isPostureAcceptable(const MotionSample& sample) const {
  int64_t total = 0;
  int64_t inside = 0;
  for (const MotionEntry& entry : sample) {
    const float x = entry[kDirectionX];
    const float y = entry[kDirectionY];
    const float z = entry[kDirectionZ];
    if (isZeroVector(x, y, z)) continue;
    ++total;
    // Within 60 degrees of +z: x^2 + y^2 < 3 z^2 with z above zero.
    const float sideways = x * x + y * y;
    const float upward = z * z;
    if (z > 0.0f && static_cast<double>(sideways) < 3.0 * static_cast<double>(upward)) ++inside;
  }
  if (total == 0) return true;
  return static_cast<double>(total - inside) / static_cast<double>(total) >= 0.5;
}

float GestalCore::motionRunRatio(const MotionSample& sample) const {
  if (sample.empty()) return 0.0f;
  // Each entry weighs its position within the current run of strong (positive run) or weak
  // (negative run) entries.
  int64_t strong = 0;
  int64_t weak = 0;
  int64_t run = 0;
  bool seen = false;
  for (const MotionEntry& entry : sample) {
    const double x = entry[kPrimaryX];
    const double y = entry[kPrimaryY];
    const double z = entry[kPrimaryZ];
    if (!seen && !(x == 0.0 && y == 0.0 && z == 0.0)) seen = true;
    if (x * x + y * y + z * z >= 10.0) {
      run = run < 0 ? 1 : run + 1;
      strong += run;
    } else if (run > 0) {
      weak += 1;
      run = -1;
    } else {
      run -= 1;
      weak += -run;
    }
  }
  if (!seen) return 1.0f;
  if (strong + weak == 0) return 0.0f;
  return static_cast<float>(strong) / static_cast<float>(strong + weak);
}

bool GestalCore::hasEnoughMotion(const MotionSample& sample) const {
  return static_cast<double>(motionRunRatio(sample)) >= 0.3;
}

int32_t GestalCore::toleranceIndex(uint32_t securityLevel, uint32_t signType) const {
  if (signType > 2 || securityLevel > 4) return -1;
  return kToleranceRows[signType][securityLevel];
}

PreparedRecording PreparedRecording::detached(const MotionSample& sample) {
  PreparedRecording recording;
  recording.empty_ = sample.empty();
  recording.prepared_ = GestalCore().prepareSequence(sample, true);
  // Kept for long: without the room reserved for the entries that decimation dropped.
  recording.prepared_->values.shrink_to_fit();
  return recording;
}

const PreparedSequence& PreparedRecording::prepared() const {
  if (!prepared_) prepared_ = GestalCore().prepareSequence(*sample_, true);
  return *prepared_;
}

const Symbols& PreparedRecording::symbols(int32_t variant, int32_t index) const {
  variant = variant == 1 ? 1 : 0;
  const int32_t key = variant * kStrengthRows + index;
  auto found = symbols_.find(key);
  if (found == symbols_.end()) {
    const PreparedSequence& sequence = prepared();
    const StrengthRow& row = strengthRow(variant, index);
    found = symbols_
                .emplace(key, axisSymbols(sequence.data(), sequence.length(), row.thresholdX,
                                          row.thresholdY, row.thresholdZ))
                .first;
  }
  return found->second;
}

float GestalCore::similarityScore(const MotionSample& a, const MotionSample& b,
                                  uint32_t securityLevel, uint32_t signType) const {
  return similarityScore(PreparedRecording(a), PreparedRecording(b), securityLevel, signType);
}

float GestalCore::similarityScore(const PreparedRecording& a, const PreparedRecording& b,
                                  uint32_t securityLevel, uint32_t signType) const {
  if (securityLevel == kNoLevel || a.empty() || b.empty()) return 0.0f;
  const int32_t index = toleranceIndex(securityLevel, signType);
  if (index < 0) return 0.0f;
  const float r = similarity(a, b, index, variantOf(signType));
  if (r >= 0.0f) return r;
  const Failure failure = classify(r);
  if (failure == Failure::NotComparable) return 0.0f;
  raise(failure);
}

MatchResult GestalCore::compareSignatures(const MotionSample& a, const MotionSample& b,
                                          uint32_t securityLevel, uint32_t signType) const {
  return compareSignatures(PreparedRecording(a), PreparedRecording(b), securityLevel, signType);
}

MatchResult GestalCore::compareSignatures(const PreparedRecording& a, const PreparedRecording& b,
                                          uint32_t securityLevel, uint32_t signType) const {
  if (a.empty() || b.empty() || securityLevel == kNoLevel) return {};
  const int32_t index = toleranceIndex(securityLevel, signType);
  if (index < 0) return {};
  const float r = similarity(a, b, index, variantOf(signType));
  if (r < 0.0f) {
    const Failure failure = classify(r);
    if (failure == Failure::NotComparable) return {};
    raise(failure);
  }
  // No second comparison is made; its score stays -1, so the best score is the score itself.
  return {r >= matchThreshold, r, -1.0f, std::max(r, -1.0f)};
}

int32_t GestalCore::activityCount(const MotionSample& sample, uint32_t signType) const {
  const PreparedSequence prepared = prepareSequence(sample, true);
  const StrengthRow& row = strengthRow(variantOf(signType), kActivityRow);
  const int32_t count = countActiveValues(prepared.data(), prepared.length(), row.thresholdX,
                                          row.thresholdY, row.thresholdZ);
  if (count < 0) throw GestalCoreOutOfBufferException();
  return count;
}

}  // namespace GestalPrivate
