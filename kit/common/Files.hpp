#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <sys/types.h>

// Whole-file reads and writes that never leave a half-written file behind, and whole
// writes to a descriptor.
namespace Files {

// Writes every byte, repeating partial writes and interrupted calls; false once a write
// fails. Never raises SIGPIPE on sockets, and allocates nothing, so a forked child may use it.
bool writeAll(int fd, const void* bytes, size_t count);

// Whether the path is a regular file this process may run.
bool isExecutable(const std::string& path);

// The file's bytes, or none when it does not exist or cannot be read.
std::optional<std::string> read(const std::string& path);

// Writes a temporary file beside the target, created with the given permissions (and
// owner, when given), then renames it over the target: a link at the target is replaced,
// never followed. False on any failure, errno set, with the target untouched.
struct Owner {
  uid_t user;
  gid_t group;
};
bool writeAtomically(const std::string& path, const std::string& data, mode_t permissions,
                     std::optional<Owner> owner = std::nullopt);

}  // namespace Files
