#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gestures/PredefinedGesture.h"
#include "store/Sqlite.h"

namespace GestalPrivate {

// A read-only predefined gesture model file (tables weak_classifier, gesture, samples), read whole
// on first use and kept.
class GestalPredefineGestureDB {
 public:
  // Throws std::runtime_error("Predefine Gesture DB not found.") for a missing file, or
  // "Can't open database: ...\n" when it cannot be opened.
  explicit GestalPredefineGestureDB(const std::string& path);
  virtual ~GestalPredefineGestureDB();

  // The whole classifier, read from the file until a read finds a weak classifier and kept from
  // then on; the reference stays valid until the next call. Throws std::runtime_error naming the
  // file, table and row when an id or a weight is not a number, or a weight is not finite.
  const AdaboostClassifier& readWeakClassifiers();
  std::vector<PredefinedGesture> readGestures();
  std::vector<GestureTemplate> readSamples(int32_t weakClassifierId, const std::string& gestureId);

 private:
  std::string path_;
  AdaboostClassifier classifier_;
  // What a read that failed part way got, handed out until the next read.
  AdaboostClassifier partial_;
  std::unique_ptr<SqliteConnection> connection_;
};

}  // namespace GestalPrivate
