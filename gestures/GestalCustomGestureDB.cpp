#include "gestures/GestalCustomGestureDB.h"

#include <cstdio>
#include <stdexcept>

#include "core/Log.h"
#include "core/SampleText.h"

namespace GestalPrivate {
namespace {

const char* const kFileName = "gestal_custom.db";

// Schema version 2. The columns have no declared type, so bound texts are stored and compared as
// texts.
const char* const kCreateTables =
    "PRAGMA user_version = 2;"
    "create table custom_gesture_simples(name_space, gesture_index,data);";
const char* const kSelectSamples =
    "select data from custom_gesture_simples where name_space = ?1 and gesture_index = ?2";
const char* const kSelectIndexes =
    "select gesture_index from custom_gesture_simples where name_space = ?1";
const char* const kDeleteSamples =
    "delete from custom_gesture_simples where name_space = ?1 and gesture_index = ?2";
const char* const kInsertSample =
    "insert into custom_gesture_simples (name_space, gesture_index, data) values (?1, ?2, ?3)";

}  // namespace

GestalCustomGestureDB::GestalCustomGestureDB(const std::string& directory)
    : path_(directory + kFileName),
      connection_(openVersionedDatabase(
          path_,
          {kCreateTables, "current custom gesture DB schema version is %d",
           "createcustom gesture  DB tables error: %s", "create custom gesture DB tables failed\n",
           "create custom gesture DB tables success"})) {}

GestalCustomGestureDB::~GestalCustomGestureDB() = default;

std::vector<MotionSample> GestalCustomGestureDB::getCustomSamples(const std::string& nameSpace,
                                                                  const std::string& gestureIndex) {
  std::vector<MotionSample> samples;
  SqliteStatement select(*connection_, kSelectSamples);
  select.bind(1, nameSpace).bind(2, gestureIndex);
  const int data = select.column("data");
  while (select.step()) {
    // A row that does not decode is reported and left out; the gesture keeps its other samples.
    try {
      samples.push_back(readSampleText(select.text(data), NullValues::Reject));
    } catch (const SampleTextError& e) {
      logFormat(LogLevel::Error,
                "getCustomSamples skipped a stored sample of %s that does not decode: %s",
                gestureIndex.c_str(), e.what());
    }
  }
  if (select.failed()) {
    logFormat(LogLevel::Error, "getCustomSamples SQL error: %s", select.error().c_str());
  }
  return samples;
}

std::vector<std::string> GestalCustomGestureDB::getAllCustomGestureIndexes(
    const std::string& nameSpace) {
  std::vector<std::string> indexes;
  SqliteStatement select(*connection_, kSelectIndexes);
  select.bind(1, nameSpace);
  const int index = select.column("gesture_index");
  while (select.step()) indexes.push_back(select.text(index));
  if (select.failed()) {
    logFormat(LogLevel::Error, "getAllCustomGestureIndexes SQL error: %s", select.error().c_str());
  }
  return indexes;
}

void GestalCustomGestureDB::replaceCustomSamples(const std::string& nameSpace,
                                                 const std::string& gestureIndex,
                                                 const std::vector<MotionSample>& samples) {
  delCustomSamples(nameSpace, gestureIndex);
  // One insert per sample, in sample order; an SQL error stops the rest, and the rows already
  // inserted stay (they commit with the call).
  for (const MotionSample& sample : samples) {
    SqliteStatement insert(*connection_, kInsertSample);
    insert.bind(1, nameSpace).bind(2, gestureIndex).bind(3, writeSampleText(sample));
    if (!insert.run()) {
      logFormat(LogLevel::Error, "replaceCustomSamples SQL error: %s", insert.error().c_str());
      return;
    }
  }
}

void GestalCustomGestureDB::delCustomSamples(const std::string& nameSpace,
                                             const std::string& gestureIndex) {
  SqliteStatement erase(*connection_, kDeleteSamples);
  erase.bind(1, nameSpace).bind(2, gestureIndex);
  if (!erase.run()) {
    logFormat(LogLevel::Error, "delCustomSamples SQL error: %s", erase.error().c_str());
  }
}

}  // namespace GestalPrivate
