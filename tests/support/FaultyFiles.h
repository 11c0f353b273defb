#pragma once

#include <cstdint>
#include <string>

namespace GestalTest {

// Puts a file system in front of SQLite's default one for the life of the object, so a test can
// make the machine fail under the library: every connection opened meanwhile goes through it.
// A file is chosen by a part of its path ("gestal.db" also chooses its journal).
class FaultyFiles {
 public:
  FaultyFiles();
  ~FaultyFiles();
  FaultyFiles(const FaultyFiles&) = delete;
  FaultyFiles& operator=(const FaultyFiles&) = delete;

  // From now on writing, truncating or syncing the chosen files fails with `resultCode`
  // (SQLITE_FULL, SQLITE_IOERR_WRITE, ...).
  void failWrites(const std::string& pathPart, int resultCode);
  // From now on a write that reaches beyond `bytes` into the chosen files fails with `resultCode`,
  // as on a disk that fills up: small writes pass, a file that grows further does not.
  void failWritesBeyond(const std::string& pathPart, int resultCode, int64_t bytes);
  // Database files of that path opened from now on open read-only.
  void openReadOnly(const std::string& pathPart);
  // The machine works again.
  void clear();
};

}  // namespace GestalTest
