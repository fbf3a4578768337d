#pragma once
#include <optional>
#include <string>
#include <sys/types.h>

// Whole-file reads and writes that never leave a half-written file behind.
namespace Files {

// The file's bytes, or none when it does not exist or cannot be read.
std::optional<std::string> read(const std::string& path);

// Writes a temporary file beside the target with the given permissions, then renames
// it over the target. False on any failure, with the target untouched.
bool writeAtomically(const std::string& path, const std::string& data, mode_t permissions);

}  // namespace Files
