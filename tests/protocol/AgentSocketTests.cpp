#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "kit/protocol/AgentSocket.hpp"
#include "kit/protocol/SocketServer.hpp"
#include "kit/common/ToolError.hpp"
#include "tests/support/ScopedEnvironment.hpp"
#include "tests/support/TempDirectory.hpp"

namespace {

mode_t permissions(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 0777;
}

std::string startFailure(const std::string& path) {
  try {
    SocketServer(path, {}).start();
  } catch (const ToolError& error) {
    return error.description;
  }
  return "(started)";
}

}  // namespace

TEST(AgentSocketPath, ConfiguredPathIsUsedUnchangedAndNothingIsCreated) {
  TempDirectory home;
  ScopedEnvironment state("XDG_STATE_HOME", home.file("state"));
  ScopedEnvironment socket("TARNWICK_SOCKET", "relative/odd path.sock");
  EXPECT_EQ(AgentSocket::path(), "relative/odd path.sock");
  EXPECT_FALSE(std::filesystem::exists(home.file("state")));
}

TEST(AgentSocketPath, DefaultLivesInAPrivateStateDirectory) {
  TempDirectory home;
  ScopedEnvironment state("XDG_STATE_HOME", home.file("deep/state"));
  unsetenv("TARNWICK_SOCKET");
  EXPECT_EQ(AgentSocket::path(), home.file("deep/state/tarnwick/tarnwick.sock"));
  EXPECT_EQ(permissions(home.file("deep/state/tarnwick")), 0700u);
}

TEST(AgentSocketAddress, LongPathsAreCutAt103Bytes) {
  std::string path = "/tmp/" + std::string(200, 'a');
  sockaddr_un address = AgentSocket::address(path);
  EXPECT_EQ(std::string(address.sun_path), path.substr(0, 103));
  EXPECT_EQ(address.sun_family, AF_UNIX);
  EXPECT_EQ(std::string(AgentSocket::address("/tmp/s").sun_path), "/tmp/s");
}

TEST(SocketServerStart, ReplacesAStaleSocketRefusesALiveOneAndIsPrivate) {
  TempDirectory directory;
  const std::string path = directory.file("tarnwick.sock");
  std::ofstream(path) << "stale";
  EXPECT_EQ(startFailure(path), "(started)");
  EXPECT_EQ(permissions(path), 0600u);
  EXPECT_EQ(startFailure(path), "Tarnwick is already running.");
  auto client = AgentSocket::connect(path);
  ASSERT_TRUE(client) << "the first server still serves";
  close(*client);
}

TEST(SocketServerStart, ReportsWhyItCannotListen) {
  EXPECT_EQ(startFailure("/nonexistent-dir/tarnwick.sock"),
            "Could not listen on /nonexistent-dir/tarnwick.sock: No such file or directory.");
}
