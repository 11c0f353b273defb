#pragma once

#include <string>

namespace GestalTest {

// A fresh directory under the system's temporary directory, removed with its contents by the
// destructor. path() ends with '/', ready to be used as a database directory text.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

}  // namespace GestalTest
