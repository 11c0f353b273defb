#include "gestures/GestalCustomGestureDB.h"

#include <algorithm>
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

// True for the schema of a file the store created (made once, in memory).
bool isCreatedSchema(const std::string& schema) {
  static const std::string created = schemaMadeBy(kCreateTables);
  return !created.empty() && schema == created;
}

const char* const kSelectSamples =
    "select data from custom_gesture_simples where name_space = ?1 and gesture_index = ?2";
const char* const kSelectIndexes =
    "select gesture_index from custom_gesture_simples where name_space = ?1";
const char* const kDeleteSamples =
    "delete from custom_gesture_simples where name_space = ?1 and gesture_index = ?2";
const char* const kInsertSample =
    "insert into custom_gesture_simples (name_space, gesture_index, data) values (?1, ?2, ?3)";
const char* const kSelectRows =
    "select rowid, name_space, gesture_index from custom_gesture_simples order by rowid";
const char* const kSelectSampleOfRow = "select data from custom_gesture_simples where rowid = ?1";

}  // namespace

GestalCustomGestureDB::GestalCustomGestureDB(const std::string& directory, Caching caching)
    : path_(directory + kFileName),
      connection_(openVersionedDatabase(
          path_,
          {kCreateTables, "current custom gesture DB schema version is %d",
           "createcustom gesture  DB tables error: %s", "create custom gesture DB tables failed\n",
           "create custom gesture DB tables success"})),
      cache_(caching == Caching::On ? std::make_unique<RowCache>() : nullptr) {}

GestalCustomGestureDB::~GestalCustomGestureDB() = default;

std::vector<GestalCustomGestureDB::Row>* GestalCustomGestureDB::rows() {
  if (cache_ == nullptr) return nullptr;
  const uint64_t generation = connection_->generation();
  if (generation != cache_->generation) {
    cache_->generation = generation;
    cache_->rows.reset();
    // With its rows kept, the store reads a page of the file once per gesture it loads: SQLite's
    // default 2 MiB of pages would only fill with pages read once, each new one costing the
    // process a fresh page of memory.
    std::string error;
    connection_->exec("PRAGMA cache_size = -256", error);
    if (isCreatedSchema(schemaOf(*connection_))) {
      std::vector<Row> rows;
      SqliteStatement select(*connection_, kSelectRows);
      while (select.step()) {
        Row& row = rows.emplace_back();
        row.rowid = select.int64(0);
        // The type first: reading a value as text may convert it.
        row.nameSpaceIsText = select.type(1) == SQLITE_TEXT;
        if (row.nameSpaceIsText) row.nameSpace = select.text(1);
        row.indexIsText = select.type(2) == SQLITE_TEXT;
        row.index = select.text(2);
      }
      if (!select.failed()) cache_->rows = std::move(rows);
    }
  }
  return cache_->rows ? &*cache_->rows : nullptr;
}

template <class Use>
void GestalCustomGestureDB::forEachSampleText(const std::string& nameSpace,
                                              const std::string& gestureIndex, Use use) {
  // A row that does not decode is reported and left out; the gesture keeps its other samples.
  const auto decode = [&](std::string_view text) {
    try {
      use(text);
    } catch (const SampleTextError& e) {
      logFormat(LogLevel::Error,
                "getCustomSamples skipped a stored sample of %s that does not decode: %s",
                gestureIndex.c_str(), e.what());
    }
  };
  std::string error;
  if (const std::vector<Row>* cached = rows()) {
    for (const Row& row : *cached) {
      if (!row.isGesture(nameSpace, gestureIndex)) continue;
      SqliteStatement select(*connection_, kSelectSampleOfRow);
      select.bind(1, row.rowid);
      if (select.step()) decode(select.textView(0));
      if (select.failed()) {
        error = select.error();
        break;
      }
    }
  } else {
    SqliteStatement select(*connection_, kSelectSamples);
    select.bind(1, nameSpace).bind(2, gestureIndex);
    const int data = select.column("data");
    while (select.step()) decode(select.textView(data));
    error = select.error();
  }
  if (!error.empty()) logFormat(LogLevel::Error, "getCustomSamples SQL error: %s", error.c_str());
}

std::vector<PreparedRecording> GestalCustomGestureDB::getCustomSamples(
    const std::string& nameSpace, const std::string& gestureIndex) {
  std::vector<PreparedRecording> samples;
  forEachSampleText(nameSpace, gestureIndex, [&](std::string_view text) {
    samples.push_back(PreparedRecording::detached(readSampleMotion(text, NullValues::Reject)));
  });
  return samples;
}

std::vector<MotionSample> GestalCustomGestureDB::getCustomRecordings(
    const std::string& nameSpace, const std::string& gestureIndex) {
  std::vector<MotionSample> samples;
  forEachSampleText(nameSpace, gestureIndex, [&](std::string_view text) {
    samples.push_back(readSampleText(text, NullValues::Reject));
  });
  return samples;
}

std::vector<std::string> GestalCustomGestureDB::getAllCustomGestureIndexes(
    const std::string& nameSpace) {
  std::vector<std::string> indexes;
  if (const std::vector<Row>* cached = rows()) {
    for (const Row& row : *cached) {
      if (row.inNameSpace(nameSpace)) indexes.push_back(row.index);
    }
    return indexes;
  }
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
    const std::string text = writeSampleText(sample);
    SqliteStatement insert(*connection_, kInsertSample);
    insert.bind(1, nameSpace).bind(2, gestureIndex).bindUncopied(3, text);
    if (!insert.run()) {
      logFormat(LogLevel::Error, "replaceCustomSamples SQL error: %s", insert.error().c_str());
      return;
    }
    // Kept in rowid order. Rows read again after the insert hold it already.
    if (std::vector<Row>* cached = rows()) {
      const int64_t rowid = connection_->lastInsertRowid();
      auto at = std::lower_bound(cached->begin(), cached->end(), rowid,
                                 [](const Row& row, int64_t id) { return row.rowid < id; });
      if (at == cached->end() || at->rowid != rowid) {
        cached->insert(at, Row{rowid, true, nameSpace, true, gestureIndex});
      }
    }
  }
}

void GestalCustomGestureDB::delCustomSamples(const std::string& nameSpace,
                                             const std::string& gestureIndex) {
  ++writes_;
  SqliteStatement erase(*connection_, kDeleteSamples);
  erase.bind(1, nameSpace).bind(2, gestureIndex);
  if (!erase.run()) {
    logFormat(LogLevel::Error, "delCustomSamples SQL error: %s", erase.error().c_str());
    return;
  }
  if (std::vector<Row>* cached = rows()) {
    std::erase_if(*cached, [&](const Row& row) { return row.isGesture(nameSpace, gestureIndex); });
  }
}

}  // namespace GestalPrivate
