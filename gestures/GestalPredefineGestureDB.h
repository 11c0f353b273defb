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

  // The whole classifier (a copy); read from the file until a read finds a weak classifier.
  AdaboostClassifier readWeakClassifiers();
  std::vector<PredefinedGesture> readGestures();
  std::vector<GestureTemplate> readSamples(int32_t weakClassifierId, const std::string& gestureId);

 private:
  AdaboostClassifier classifier_;
  std::unique_ptr<SqliteConnection> connection_;
};

}  // namespace GestalPrivate
