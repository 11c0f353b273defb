#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "gestal.h"

// The signature and custom gesture exports called as a host calls them, with recordings of ten
// floats per reading, and what their callbacks received.
namespace GestalTest {

// What the last enrolment or identification callback received.
struct Reply {
  int32_t action = 0;
  int32_t error = 0;
  double progress = 0;  // of an identification: the remaining trials
  int32_t level = 0;    // of an identification: the lock seconds
  bool operator==(const Reply&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const Reply& r) {
    return out << r.action << " " << r.error << " " << r.progress << " " << r.level;
  }
};
inline Reply lastReply;

inline void onEnrol(GestalAction* action, GestalStatusBlock* status, float progress,
                    int32_t* level) {
  lastReply = {GetActionIndex(action), GetErrorType(status), progress, *level};
}
inline void onIdentify(GestalAction* action, GestalStatusBlock* status, int32_t remaining,
                       int32_t lock) {
  lastReply = {GetActionIndex(action), GetErrorType(status), double(remaining), lock};
}

// One enrolment step.
inline Reply enrol(GestalHandle handle, int32_t action, const std::vector<float>& recording) {
  lastReply = {};
  AddSignature(handle, action, recording.data(), recording.size() / 10, 10, onEnrol);
  return lastReply;
}

inline Reply identify(GestalHandle handle, const std::vector<float>& recording,
                      const std::vector<int32_t>& candidates = {}) {
  lastReply = {};
  IdentifySignature(handle, recording.data(), recording.size() / 10, 10, candidates.data(),
                    candidates.size(), onIdentify);
  return lastReply;
}

// Defines custom gesture `key` as `copies` copies of one recording.
inline void defineCustom(GestalHandle handle, int32_t key, const std::vector<float>& recording,
                         int copies = 1) {
  std::vector<float> pieces;
  for (int i = 0; i < copies; ++i) pieces.insert(pieces.end(), recording.begin(), recording.end());
  const std::vector<int32_t> lengths(copies, static_cast<int32_t>(recording.size() / 10));
  const std::vector<int32_t> entryLengths(copies, 10);
  SetCustomGesture(handle, key, pieces.data(), copies, lengths.data(), entryLengths.data());
}

}  // namespace GestalTest
