#pragma once
#include <sys/types.h>
#include <sys/un.h>

#include <optional>
#include <string>

// The Unix-domain socket on which the resident app serves agents.
namespace AgentSocket {

inline constexpr size_t maxPathBytes = 103;

// TARNWICK_SOCKET when set; otherwise tarnwick.sock in the state directory, which is
// then created with permissions 0700 (failure ignored). Cut at maxPathBytes, as an
// address must be, so that binding, connecting and removing all use one path.
std::string path();

// Whether the path is the default one in the state directory.
bool isInStateDirectory(const std::string& path);

// The address for a path; paths longer than maxPathBytes are cut there.
sockaddr_un address(const std::string& path);

// A connected stream socket, or none.
std::optional<int> connect(const std::string& path);

// The process serving the path, or none when nothing serves it.
std::optional<pid_t> owner(const std::string& path);

}  // namespace AgentSocket
