#pragma once
// Looking for the outside programs a run calls.

#include <string>

namespace chromasect {

// A regular file that this process may execute.
bool isExecutableFile(const std::string& path);

}  // namespace chromasect
