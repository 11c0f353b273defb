#include "store/ReadAhead.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace GestalPrivate {
namespace {

// Our part of an open file. The default file system's part is allocated beside it, since that
// file system may change between the registration of ours and the opening of a file.
struct File {
  sqlite3_file base;
  sqlite3_file* real;
  bool database;  // only the main database file is read ahead
  bool walMode;   // another connection may write the file while this one holds its lock
  int lock;       // the level held, SQLITE_LOCK_NONE to SQLITE_LOCK_EXCLUSIVE
  char* buffer;   // kReadAheadBytes, allocated on first use
  sqlite3_int64 bufferStart;
  int bufferLength;  // 0 while nothing read ahead is held
  sqlite3_int64 nextRead;
};

File* ours(sqlite3_file* file) {
  return reinterpret_cast<File*>(file);
}
sqlite3_file* realOf(sqlite3_file* file) {
  return ours(file)->real;
}
const sqlite3_io_methods& realMethods(sqlite3_file* file) {
  return *realOf(file)->pMethods;
}

int realRead(sqlite3_file* file, void* out, int amount, sqlite3_int64 offset) {
  return realMethods(file).xRead(realOf(file), out, amount, offset);
}

bool readsAhead(const File& file) {
  return file.database && !file.walMode && file.lock >= SQLITE_LOCK_SHARED;
}

int fileClose(sqlite3_file* file) {
  const int rc = realMethods(file).xClose(realOf(file));
  sqlite3_free(ours(file)->real);
  sqlite3_free(ours(file)->buffer);
  return rc;
}

int fileRead(sqlite3_file* file, void* out, int amount, sqlite3_int64 offset) {
  File& f = *ours(file);
  const bool followsLast = offset == f.nextRead;
  f.nextRead = offset + amount;
  if (!readsAhead(f) || amount > kReadAheadBytes) return realRead(file, out, amount, offset);
  if (f.bufferLength > 0 && offset >= f.bufferStart &&
      offset + amount <= f.bufferStart + f.bufferLength) {
    std::memcpy(out, f.buffer + (offset - f.bufferStart), static_cast<std::size_t>(amount));
    return SQLITE_OK;
  }
  if (!followsLast) return realRead(file, out, amount, offset);
  if (f.buffer == nullptr) f.buffer = static_cast<char*>(sqlite3_malloc(kReadAheadBytes));
  f.bufferLength = 0;
  // A read ahead that fails is of no use; the request itself then meets the failure as it would.
  if (f.buffer == nullptr) return realRead(file, out, amount, offset);
  int length = kReadAheadBytes;
  const int rc = realRead(file, f.buffer, length, offset);
  if (rc == SQLITE_IOERR_SHORT_READ) {
    sqlite3_int64 size = 0;
    if (realMethods(file).xFileSize(realOf(file), &size) != SQLITE_OK) {
      return realRead(file, out, amount, offset);
    }
    length = static_cast<int>(std::clamp<sqlite3_int64>(size - offset, 0, length));
  } else if (rc != SQLITE_OK) {
    return realRead(file, out, amount, offset);
  }
  // The header tells a file in write-ahead-log mode before its log is opened.
  if (offset == 0 && length > 19 && (f.buffer[18] == 2 || f.buffer[19] == 2)) {
    f.walMode = true;
    return realRead(file, out, amount, offset);
  }
  f.bufferStart = offset;
  f.bufferLength = length;
  if (amount > length) return realRead(file, out, amount, offset);
  std::memcpy(out, f.buffer, static_cast<std::size_t>(amount));
  return SQLITE_OK;
}

int fileWrite(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
  ours(file)->bufferLength = 0;
  return realMethods(file).xWrite(realOf(file), data, amount, offset);
}
int fileTruncate(sqlite3_file* file, sqlite3_int64 size) {
  ours(file)->bufferLength = 0;
  return realMethods(file).xTruncate(realOf(file), size);
}
int fileSync(sqlite3_file* file, int flags) {
  return realMethods(file).xSync(realOf(file), flags);
}
int fileSize(sqlite3_file* file, sqlite3_int64* size) {
  return realMethods(file).xFileSize(realOf(file), size);
}
int fileLock(sqlite3_file* file, int level) {
  const int rc = realMethods(file).xLock(realOf(file), level);
  if (rc == SQLITE_OK) ours(file)->lock = std::max(ours(file)->lock, level);
  return rc;
}
int fileUnlock(sqlite3_file* file, int level) {
  const int rc = realMethods(file).xUnlock(realOf(file), level);
  File& f = *ours(file);
  // Once the lock was let go (or may have been), another process may have written the file.
  f.lock = rc == SQLITE_OK ? level : SQLITE_LOCK_NONE;
  if (f.lock < SQLITE_LOCK_SHARED) f.bufferLength = 0;
  return rc;
}
int fileCheckReservedLock(sqlite3_file* file, int* result) {
  return realMethods(file).xCheckReservedLock(realOf(file), result);
}
int fileControl(sqlite3_file* file, int op, void* argument) {
  return realMethods(file).xFileControl(realOf(file), op, argument);
}
int fileSectorSize(sqlite3_file* file) {
  return realMethods(file).xSectorSize(realOf(file));
}
int fileDeviceCharacteristics(sqlite3_file* file) {
  return realMethods(file).xDeviceCharacteristics(realOf(file));
}
int fileShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** memory) {
  ours(file)->walMode = true;
  ours(file)->bufferLength = 0;
  return realMethods(file).xShmMap(realOf(file), region, size, extend, memory);
}
int fileShmLock(sqlite3_file* file, int offset, int count, int flags) {
  return realMethods(file).xShmLock(realOf(file), offset, count, flags);
}
void fileShmBarrier(sqlite3_file* file) {
  realMethods(file).xShmBarrier(realOf(file));
}
int fileShmUnmap(sqlite3_file* file, int deleteFlag) {
  return realMethods(file).xShmUnmap(realOf(file), deleteFlag);
}
int fileFetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** pages) {
  return realMethods(file).xFetch(realOf(file), offset, amount, pages);
}
int fileUnfetch(sqlite3_file* file, sqlite3_int64 offset, void* page) {
  return realMethods(file).xUnfetch(realOf(file), offset, page);
}

// The methods of a file, of the version of the default file system's file.
const sqlite3_io_methods* methodsOf(int version) {
  static const sqlite3_io_methods methods[] = {
      {1, fileClose, fileRead, fileWrite, fileTruncate, fileSync, fileSize, fileLock, fileUnlock,
       fileCheckReservedLock, fileControl, fileSectorSize, fileDeviceCharacteristics, nullptr,
       nullptr, nullptr, nullptr, nullptr, nullptr},
      {2, fileClose, fileRead, fileWrite, fileTruncate, fileSync, fileSize, fileLock, fileUnlock,
       fileCheckReservedLock, fileControl, fileSectorSize, fileDeviceCharacteristics, fileShmMap,
       fileShmLock, fileShmBarrier, fileShmUnmap, nullptr, nullptr},
      {3, fileClose, fileRead, fileWrite, fileTruncate, fileSync, fileSize, fileLock, fileUnlock,
       fileCheckReservedLock, fileControl, fileSectorSize, fileDeviceCharacteristics, fileShmMap,
       fileShmLock, fileShmBarrier, fileShmUnmap, fileFetch, fileUnfetch}};
  return &methods[std::clamp(version, 1, 3) - 1];
}

// Our file system in front of one default file system, whose every other operation is its own.
struct ReadAheadVfs {
  sqlite3_vfs vfs{};
  sqlite3_vfs* real = nullptr;
  std::string name;
};

sqlite3_vfs* realVfs(sqlite3_vfs* vfs) {
  return static_cast<ReadAheadVfs*>(vfs->pAppData)->real;
}

int vfsOpen(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
  sqlite3_vfs* real = realVfs(vfs);
  File& f = *ours(file);
  f = File{};
  f.real = static_cast<sqlite3_file*>(sqlite3_malloc(real->szOsFile));
  if (f.real == nullptr) return SQLITE_NOMEM;
  std::memset(f.real, 0, static_cast<std::size_t>(real->szOsFile));
  f.database = (flags & SQLITE_OPEN_MAIN_DB) != 0;
  f.nextRead = -1;
  const int rc = real->xOpen(real, name, f.real, flags, outFlags);
  if (f.real->pMethods == nullptr) {
    sqlite3_free(f.real);
    f.real = nullptr;
    return rc;
  }
  f.base.pMethods = methodsOf(f.real->pMethods->iVersion);
  return rc;
}

int vfsDelete(sqlite3_vfs* vfs, const char* name, int syncDir) {
  return realVfs(vfs)->xDelete(realVfs(vfs), name, syncDir);
}
int vfsAccess(sqlite3_vfs* vfs, const char* name, int flags, int* result) {
  return realVfs(vfs)->xAccess(realVfs(vfs), name, flags, result);
}
int vfsFullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
  return realVfs(vfs)->xFullPathname(realVfs(vfs), name, size, out);
}
void* vfsDlOpen(sqlite3_vfs* vfs, const char* name) {
  return realVfs(vfs)->xDlOpen(realVfs(vfs), name);
}
void vfsDlError(sqlite3_vfs* vfs, int size, char* out) {
  realVfs(vfs)->xDlError(realVfs(vfs), size, out);
}
void (*vfsDlSym(sqlite3_vfs* vfs, void* handle, const char* symbol))(void) {
  return realVfs(vfs)->xDlSym(realVfs(vfs), handle, symbol);
}
void vfsDlClose(sqlite3_vfs* vfs, void* handle) {
  realVfs(vfs)->xDlClose(realVfs(vfs), handle);
}
int vfsRandomness(sqlite3_vfs* vfs, int size, char* out) {
  return realVfs(vfs)->xRandomness(realVfs(vfs), size, out);
}
int vfsSleep(sqlite3_vfs* vfs, int micros) {
  return realVfs(vfs)->xSleep(realVfs(vfs), micros);
}
int vfsCurrentTime(sqlite3_vfs* vfs, double* now) {
  return realVfs(vfs)->xCurrentTime(realVfs(vfs), now);
}
int vfsLastError(sqlite3_vfs* vfs, int size, char* out) {
  return realVfs(vfs)->xGetLastError(realVfs(vfs), size, out);
}
int vfsCurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* now) {
  return realVfs(vfs)->xCurrentTimeInt64(realVfs(vfs), now);
}

}  // namespace

const char* readAheadFileSystem() {
  // One of ours per default file system met, registered once and kept for the process's life.
  static std::mutex mutex;
  static std::map<sqlite3_vfs*, std::unique_ptr<ReadAheadVfs>> registered;
  const std::lock_guard<std::mutex> lock(mutex);
  sqlite3_vfs* real = sqlite3_vfs_find(nullptr);
  if (real == nullptr) return nullptr;
  std::unique_ptr<ReadAheadVfs>& entry = registered[real];
  if (entry == nullptr) {
    auto ahead = std::make_unique<ReadAheadVfs>();
    ahead->real = real;
    ahead->name = std::string("gestal-read-ahead-") + real->zName;
    sqlite3_vfs& vfs = ahead->vfs;
    vfs.iVersion = real->iVersion >= 2 ? 2 : 1;
    vfs.szOsFile = static_cast<int>(sizeof(File));
    vfs.mxPathname = real->mxPathname;
    vfs.zName = ahead->name.c_str();
    vfs.pAppData = ahead.get();
    vfs.xOpen = vfsOpen;
    vfs.xDelete = vfsDelete;
    vfs.xAccess = vfsAccess;
    vfs.xFullPathname = vfsFullPathname;
    vfs.xDlOpen = vfsDlOpen;
    vfs.xDlError = vfsDlError;
    vfs.xDlSym = vfsDlSym;
    vfs.xDlClose = vfsDlClose;
    vfs.xRandomness = vfsRandomness;
    vfs.xSleep = vfsSleep;
    vfs.xCurrentTime = vfsCurrentTime;
    vfs.xGetLastError = vfsLastError;
    if (vfs.iVersion >= 2) vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    if (sqlite3_vfs_register(&vfs, 0) != SQLITE_OK) return nullptr;
    entry = std::move(ahead);
  }
  return entry->name.c_str();
}

}  // namespace GestalPrivate
