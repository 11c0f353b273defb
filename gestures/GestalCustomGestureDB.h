#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/MotionSample.h"
#include "store/Sqlite.h"

namespace GestalPrivate {

// The host's custom gestures: the file "gestal_custom.db" in the database directory, one row of
// table custom_gesture_simples per stored sample (name space, gesture index, sample text).
class GestalCustomGestureDB {
 public:
  // Opens directory + "gestal_custom.db", creating it with its table when missing. Throws
  // std::runtime_error on failure.
  explicit GestalCustomGestureDB(const std::string& directory);
  virtual ~GestalCustomGestureDB();

  // Every stored sample of the gesture, in row order.
  std::vector<MotionSample> getCustomSamples(const std::string& nameSpace,
                                             const std::string& gestureIndex);
  // The index of every row of the name space, in row order (one entry per stored sample).
  std::vector<std::string> getAllCustomGestureIndexes(const std::string& nameSpace);
  // Replaces the gesture's samples; an empty list deletes the gesture.
  void replaceCustomSamples(const std::string& nameSpace, const std::string& gestureIndex,
                            const std::vector<MotionSample>& samples);
  void delCustomSamples(const std::string& nameSpace, const std::string& gestureIndex);

  // Opens the scope of one call: its writes to the file commit together at commit(), or not at
  // all (see SqliteTransaction).
  SqliteTransaction callTransaction() { return SqliteTransaction(*connection_); }

 private:
  std::string path_;
  std::unique_ptr<SqliteConnection> connection_;
};

}  // namespace GestalPrivate
