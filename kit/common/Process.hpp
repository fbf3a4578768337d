#pragma once
#include <string>
#include <vector>

namespace Process {

// Starts the program in a session of its own with its standard streams on /dev/null,
// and does not wait for it: it outlives the caller and never becomes its zombie.
// False when the first fork failed.
bool spawnDetached(const std::string& executable, const std::vector<std::string>& arguments);

}  // namespace Process
