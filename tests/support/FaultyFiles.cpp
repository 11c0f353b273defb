#include "support/FaultyFiles.h"

#include <sqlite3.h>

#include <map>
#include <stdexcept>

namespace GestalTest {
namespace {

struct Faults {
  std::string writePart;
  int writeCode = SQLITE_OK;
  int64_t writeLimit = -1;  // writes end beyond it fail; -1: every write, truncation and sync
  std::string readOnlyPart;
};
Faults faults;
sqlite3_vfs* real = nullptr;
// The real file system with our xOpen. An open file is the real one followed by a trailer; its
// methods are a copy of the real ones whose writes may fail.
sqlite3_vfs ours;
struct Trailer {
  const sqlite3_io_methods* real;
  const char* path;  // valid until the file is closed
};
std::map<const sqlite3_io_methods*, sqlite3_io_methods> wrapped;

bool chosen(const std::string& part, const char* path) {
  return !part.empty() && path != nullptr && std::string(path).find(part) != std::string::npos;
}

std::size_t trailerOffset() {
  return (static_cast<std::size_t>(real->szOsFile) + alignof(Trailer) - 1) &
         ~(alignof(Trailer) - 1);
}
Trailer& trailerOf(sqlite3_file* file) {
  return *reinterpret_cast<Trailer*>(reinterpret_cast<char*>(file) + trailerOffset());
}

// The fault of a write ending at `end`, or of a truncation or sync (end -1).
int writeFault(sqlite3_file* file, sqlite3_int64 end = -1) {
  const bool fails = chosen(faults.writePart, trailerOf(file).path) &&
                     (faults.writeLimit < 0 || end > faults.writeLimit);
  return fails ? faults.writeCode : SQLITE_OK;
}
int fileWrite(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
  if (int fault = writeFault(f, offset + amount)) return fault;
  return trailerOf(f).real->xWrite(f, buffer, amount, offset);
}
int fileTruncate(sqlite3_file* f, sqlite3_int64 size) {
  if (int fault = writeFault(f)) return fault;
  return trailerOf(f).real->xTruncate(f, size);
}
int fileSync(sqlite3_file* f, int flags) {
  if (int fault = writeFault(f)) return fault;
  return trailerOf(f).real->xSync(f, flags);
}

int vfsOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
  if ((flags & SQLITE_OPEN_MAIN_DB) != 0 && chosen(faults.readOnlyPart, name)) {
    flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
  }
  const int rc = real->xOpen(real, name, file, flags, outFlags);
  if (file->pMethods != nullptr) {
    const auto [copy, added] = wrapped.try_emplace(file->pMethods, *file->pMethods);
    if (added) {
      copy->second.xWrite = fileWrite;
      copy->second.xTruncate = fileTruncate;
      copy->second.xSync = fileSync;
    }
    trailerOf(file) = {file->pMethods, name};
    file->pMethods = &copy->second;
  }
  return rc;
}

}  // namespace

FaultyFiles::FaultyFiles() {
  faults = Faults{};
  real = sqlite3_vfs_find(nullptr);
  if (real == nullptr) throw std::runtime_error("no default SQLite file system");
  ours = *real;
  ours.pNext = nullptr;
  ours.zName = "gestal-test-faulty";
  ours.szOsFile = static_cast<int>(trailerOffset() + sizeof(Trailer));
  ours.xOpen = vfsOpen;
  sqlite3_vfs_register(&ours, 1);
}

FaultyFiles::~FaultyFiles() {
  sqlite3_vfs_register(real, 1);
  sqlite3_vfs_unregister(&ours);
}

void FaultyFiles::failWrites(const std::string& pathPart, int resultCode) {
  failWritesBeyond(pathPart, resultCode, -1);
}

void FaultyFiles::failWritesBeyond(const std::string& pathPart, int resultCode, int64_t bytes) {
  faults.writePart = pathPart;
  faults.writeCode = resultCode;
  faults.writeLimit = bytes;
}

void FaultyFiles::openReadOnly(const std::string& pathPart) {
  faults.readOnlyPart = pathPart;
}

void FaultyFiles::clear() {
  faults = Faults{};
}

}  // namespace GestalTest
