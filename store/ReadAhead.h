#pragma once

namespace GestalPrivate {

// The name of an SQLite file system for opening the stores' database files: SQLite's default file
// system at this moment, except that a read of a database file that follows the one before it is
// served from one read of kReadAheadBytes. A stored recording fills a chain of pages that SQLite
// reads one by one; read ahead, the chain costs one system call instead of one per page. What was
// read ahead is used only while the file's lock is held without a break (no other process can
// write the file meanwhile) and is dropped by every write, truncation or unlock; a file in
// write-ahead-log mode is read as by the default file system.
const char* readAheadFileSystem();

inline constexpr int kReadAheadBytes = 64 * 1024;

}  // namespace GestalPrivate
