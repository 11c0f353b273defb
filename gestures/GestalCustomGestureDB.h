#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/GestalCore.h"
#include "core/MotionSample.h"
#include "store/Sqlite.h"

namespace GestalPrivate {

// The host's custom gestures: the file "gestal_custom.db" in the database directory, one row of
// table custom_gesture_simples per stored sample (name space, gesture index, sample text). With
// Caching::On the store keeps the table's rows without their samples (rowid, name space, index)
// for as long as no other connection changes the file, so listing a name space and finding a
// gesture's rows read nothing, and a gesture's samples are read by rowid.
class GestalCustomGestureDB {
 public:
  // Opens directory + "gestal_custom.db", creating it with its table when missing. Throws
  // std::runtime_error on failure.
  explicit GestalCustomGestureDB(const std::string& directory, Caching caching = Caching::On);
  virtual ~GestalCustomGestureDB();

  // Every stored sample of the gesture, in row order, prepared for comparison.
  std::vector<PreparedRecording> getCustomSamples(const std::string& nameSpace,
                                                  const std::string& gestureIndex);
  // The same samples read whole, every value decoded.
  std::vector<MotionSample> getCustomRecordings(const std::string& nameSpace,
                                                const std::string& gestureIndex);
  // A number that changes whenever the table may have changed: this store wrote to it, another
  // connection or process committed to the file, or a transaction was rolled back.
  uint64_t changeCount() { return connection_->generation() + writes_; }
  // The index of every row of the name space, in row order (one entry per stored sample).
  std::vector<std::string> getAllCustomGestureIndexes(const std::string& nameSpace);
  // Replaces the gesture's samples; an empty list deletes the gesture.
  void replaceCustomSamples(const std::string& nameSpace, const std::string& gestureIndex,
                            const std::vector<MotionSample>& samples);
  void delCustomSamples(const std::string& nameSpace, const std::string& gestureIndex);

  // Opens the scope of one call: its writes to the file commit together at commit(), or not at
  // all (see SqliteTransaction).
  SqliteTransaction callTransaction() { return SqliteTransaction(*connection_); }
  // Opens the scope of one call that only reads: all it reads is one state of the file.
  SqliteReadScope readScope() { return SqliteReadScope(*connection_); }

 private:
  // One row of the table without its sample. A name space or index stored as anything but text
  // equals no text the store looks for, as in the selects; `index` is the index as listed.
  struct Row {
    int64_t rowid = 0;
    bool nameSpaceIsText = false;
    std::string nameSpace;
    bool indexIsText = false;
    std::string index;

    bool inNameSpace(const std::string& name) const { return nameSpaceIsText && nameSpace == name; }
    bool isGesture(const std::string& name, const std::string& gesture) const {
      return inNameSpace(name) && indexIsText && index == gesture;
    }
  };
  struct RowCache {
    uint64_t generation = 0;
    std::optional<std::vector<Row>> rows;  // in rowid order; empty while unknown
  };

  // The rows, read again when the file changed; null when the store keeps no cache or cannot
  // answer from it (a schema it did not create, or a select that failed).
  std::vector<Row>* rows();
  // Calls `use` with the stored text of each sample of the gesture, in row order; a text that
  // does not decode (use throws SampleTextError) is reported and left out.
  template <class Use>
  void forEachSampleText(const std::string& nameSpace, const std::string& gestureIndex, Use use);

  std::string path_;
  std::unique_ptr<SqliteConnection> connection_;
  std::unique_ptr<RowCache> cache_;
  uint64_t writes_ = 0;
};

}  // namespace GestalPrivate
