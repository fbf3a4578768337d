#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "kit/common/Files.hpp"
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

// A socket file left behind by a process that ended without removing it.
void leaveStaleSocket(const std::string& path) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = AgentSocket::address(path);
  ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

TEST(SocketServerStart, ReplacesAStaleSocketRefusesALiveOneAndIsPrivate) {
  TempDirectory directory;
  const std::string path = directory.file("tarnwick.sock");
  leaveStaleSocket(path);
  EXPECT_EQ(startFailure(path), "(started)");
  EXPECT_EQ(permissions(path), 0600u);
  EXPECT_EQ(startFailure(path), "Tarnwick is already running.");
  auto client = AgentSocket::connect(path);
  ASSERT_TRUE(client) << "the first server still serves";
  close(*client);
}

TEST(SocketServerStart, OnlyASocketOrALinkToNothingIsRemovedFromItsPlace) {
  TempDirectory directory;
  const std::string path = directory.file("tarnwick.sock");
  std::ofstream(path) << "the user's";
  EXPECT_EQ(startFailure(path), path + " is in the way of the agent socket and is not a socket; move it away, or set "
                                       "TARNWICK_SOCKET to another path.");
  EXPECT_EQ(Files::read(path), "the user's");
  std::filesystem::remove(path);
  std::filesystem::create_symlink(directory.file("nowhere"), path);
  EXPECT_EQ(startFailure(path), "(started)");
}

TEST(SocketServerStart, ALongConfiguredPathIsCutAlikeForServingConnectingAndRestarting) {
  TempDirectory directory;
  const std::string longPath = directory.file(std::string(150, 's') + ".sock");
  ScopedEnvironment socket("TARNWICK_SOCKET", longPath);
  const std::string path = AgentSocket::path();
  EXPECT_EQ(path, longPath.substr(0, 103));
  EXPECT_EQ(startFailure(path), "(started)");
  auto client = AgentSocket::connect(AgentSocket::path());
  ASSERT_TRUE(client);
  close(*client);
  EXPECT_EQ(startFailure(longPath), "Tarnwick is already running.") << "the uncut path names the same socket";
}

TEST(SocketServerStart, TheStateFolderIsMadePrivateOrRefused) {
  TempDirectory home;
  ScopedEnvironment state("XDG_STATE_HOME", home.file("state"));
  unsetenv("TARNWICK_SOCKET");
  std::filesystem::create_directories(home.file("state/tarnwick"));
  chmod(home.file("state/tarnwick").c_str(), 0777);
  EXPECT_EQ(startFailure(AgentSocket::path()), "(started)");
  EXPECT_EQ(permissions(home.file("state/tarnwick")), 0700u);

  if (geteuid() != 0) GTEST_SKIP() << "a folder of another user needs root to make";
  TempDirectory other;
  ScopedEnvironment elsewhere("XDG_STATE_HOME", other.file("state"));
  std::filesystem::create_directories(other.file("state/tarnwick"));
  ASSERT_EQ(chown(other.file("state/tarnwick").c_str(), 65534, 65534), 0);
  EXPECT_EQ(startFailure(AgentSocket::path()),
            "The folder " + other.file("state/tarnwick") +
                " belongs to another user or cannot be made private, so the agent socket is not put there.");
}

TEST(SocketServerStart, ReportsWhyItCannotListen) {
  EXPECT_EQ(startFailure("/nonexistent-dir/tarnwick.sock"),
            "Could not listen on /nonexistent-dir/tarnwick.sock: No such file or directory.");
}
