#include "support/FaultyFiles.h"

#include <sqlite3.h>

#include <stdexcept>

namespace GestalTest {
namespace {

struct Faults {
  sqlite3_vfs* real = nullptr;
  std::string writePart;
  int writeCode = SQLITE_OK;
  int64_t writeLimit = -1;  // writes end beyond it fail; -1: every write, truncation and sync
  std::string readOnlyPart;
};

Faults& faults() {
  static Faults state;
  return state;
}

bool chosen(const std::string& part, const char* path) {
  return !part.empty() && path != nullptr && std::string(path).find(part) != std::string::npos;
}

// Our part of an open file, followed in memory by the real file system's part.
struct File {
  sqlite3_file base;
  sqlite3_file* real;
  const char* path;  // valid until the file is closed
};

sqlite3_file* realOf(sqlite3_file* file) {
  return reinterpret_cast<File*>(file)->real;
}

// The fault of a write ending at `end`, or of a truncation or sync (end -1).
int writeFault(sqlite3_file* file, sqlite3_int64 end = -1) {
  const Faults& state = faults();
  const bool fails = chosen(state.writePart, reinterpret_cast<File*>(file)->path) &&
                     (state.writeLimit < 0 || end > state.writeLimit);
  return fails ? state.writeCode : SQLITE_OK;
}

int fileClose(sqlite3_file* f) {
  return realOf(f)->pMethods->xClose(realOf(f));
}
int fileRead(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
  return realOf(f)->pMethods->xRead(realOf(f), buffer, amount, offset);
}
int fileWrite(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
  if (int fault = writeFault(f, offset + amount)) return fault;
  return realOf(f)->pMethods->xWrite(realOf(f), buffer, amount, offset);
}
int fileTruncate(sqlite3_file* f, sqlite3_int64 size) {
  if (int fault = writeFault(f)) return fault;
  return realOf(f)->pMethods->xTruncate(realOf(f), size);
}
int fileSync(sqlite3_file* f, int flags) {
  if (int fault = writeFault(f)) return fault;
  return realOf(f)->pMethods->xSync(realOf(f), flags);
}
int fileSize(sqlite3_file* f, sqlite3_int64* size) {
  return realOf(f)->pMethods->xFileSize(realOf(f), size);
}
int fileLock(sqlite3_file* f, int level) {
  return realOf(f)->pMethods->xLock(realOf(f), level);
}
int fileUnlock(sqlite3_file* f, int level) {
  return realOf(f)->pMethods->xUnlock(realOf(f), level);
}
int fileCheckReservedLock(sqlite3_file* f, int* result) {
  return realOf(f)->pMethods->xCheckReservedLock(realOf(f), result);
}
int fileControl(sqlite3_file* f, int op, void* argument) {
  return realOf(f)->pMethods->xFileControl(realOf(f), op, argument);
}
int fileSectorSize(sqlite3_file* f) {
  return realOf(f)->pMethods->xSectorSize(realOf(f));
}
int fileDeviceCharacteristics(sqlite3_file* f) {
  return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f));
}

const sqlite3_io_methods kMethods = {1,
                                     fileClose,
                                     fileRead,
                                     fileWrite,
                                     fileTruncate,
                                     fileSync,
                                     fileSize,
                                     fileLock,
                                     fileUnlock,
                                     fileCheckReservedLock,
                                     fileControl,
                                     fileSectorSize,
                                     fileDeviceCharacteristics,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr};

int vfsOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
  Faults& state = faults();
  File* ours = reinterpret_cast<File*>(file);
  ours->base.pMethods = nullptr;
  ours->real = reinterpret_cast<sqlite3_file*>(ours + 1);
  ours->path = name;
  if ((flags & SQLITE_OPEN_MAIN_DB) != 0 && chosen(state.readOnlyPart, name)) {
    flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
  }
  const int rc = state.real->xOpen(state.real, name, ours->real, flags, outFlags);
  if (rc == SQLITE_OK || ours->real->pMethods != nullptr) ours->base.pMethods = &kMethods;
  return rc;
}

// The rest of the file system is the real one's.
int vfsDeleteFile(sqlite3_vfs*, const char* name, int syncDir) {
  return faults().real->xDelete(faults().real, name, syncDir);
}
int vfsAccess(sqlite3_vfs*, const char* name, int flags, int* result) {
  return faults().real->xAccess(faults().real, name, flags, result);
}
int vfsFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  return faults().real->xFullPathname(faults().real, name, size, out);
}
void* vfsDlOpen(sqlite3_vfs*, const char* name) {
  return faults().real->xDlOpen(faults().real, name);
}
void vfsDlError(sqlite3_vfs*, int size, char* out) {
  faults().real->xDlError(faults().real, size, out);
}
void (*vfsDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
  return faults().real->xDlSym(faults().real, handle, symbol);
}
void vfsDlClose(sqlite3_vfs*, void* handle) {
  faults().real->xDlClose(faults().real, handle);
}
int vfsRandomness(sqlite3_vfs*, int size, char* out) {
  return faults().real->xRandomness(faults().real, size, out);
}
int vfsSleep(sqlite3_vfs*, int micros) {
  return faults().real->xSleep(faults().real, micros);
}
int vfsCurrentTime(sqlite3_vfs*, double* now) {
  return faults().real->xCurrentTime(faults().real, now);
}
int vfsLastError(sqlite3_vfs*, int size, char* out) {
  return faults().real->xGetLastError(faults().real, size, out);
}

sqlite3_vfs& faultyVfs() {
  static sqlite3_vfs vfs = {1,
                            0,
                            0,
                            nullptr,
                            "gestal-test-faulty",
                            nullptr,
                            vfsOpen,
                            vfsDeleteFile,
                            vfsAccess,
                            vfsFullPathname,
                            vfsDlOpen,
                            vfsDlError,
                            vfsDlSym,
                            vfsDlClose,
                            vfsRandomness,
                            vfsSleep,
                            vfsCurrentTime,
                            vfsLastError,
                            nullptr,
                            nullptr,
                            nullptr,
                            nullptr};
  return vfs;
}

}  // namespace

FaultyFiles::FaultyFiles() {
  Faults& state = faults();
  state = Faults{};
  state.real = sqlite3_vfs_find(nullptr);
  if (state.real == nullptr) throw std::runtime_error("no default SQLite file system");
  sqlite3_vfs& vfs = faultyVfs();
  vfs.szOsFile = static_cast<int>(sizeof(File)) + state.real->szOsFile;
  vfs.mxPathname = state.real->mxPathname;
  sqlite3_vfs_register(&vfs, 1);
}

FaultyFiles::~FaultyFiles() {
  sqlite3_vfs_register(faults().real, 1);
  sqlite3_vfs_unregister(&faultyVfs());
}

void FaultyFiles::failWrites(const std::string& pathPart, int resultCode) {
  failWritesBeyond(pathPart, resultCode, -1);
}

void FaultyFiles::failWritesBeyond(const std::string& pathPart, int resultCode, int64_t bytes) {
  faults().writePart = pathPart;
  faults().writeCode = resultCode;
  faults().writeLimit = bytes;
}

void FaultyFiles::openReadOnly(const std::string& pathPart) {
  faults().readOnlyPart = pathPart;
}

void FaultyFiles::clear() {
  const sqlite3_vfs* real = faults().real;
  faults() = Faults{};
  faults().real = const_cast<sqlite3_vfs*>(real);
}

}  // namespace GestalTest
