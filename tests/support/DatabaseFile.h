#pragma once

#include <string>
#include <vector>

namespace GestalTest {

using Rows = std::vector<std::vector<std::string>>;

// Rows of a query on a database file through a separate connection; every value as its text, NULL
// as "NULL".
Rows readRows(const std::string& path, const std::string& sql);

// Runs statements on a database file through a separate connection (to plant or drop what a test
// needs); true when all of them succeeded.
bool execute(const std::string& path, const std::string& sql);

}  // namespace GestalTest
