#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "kit/common/Files.hpp"
#include "kit/common/Json.hpp"
#include "kit/protocol/AgentSocket.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempDirectory.hpp"
#include "tests/support/TerminalProcess.hpp"

namespace fs = std::filesystem;

namespace {

// A private home with a copy of Tarnwick in its download folder, as a user unpacks it.
class InstallInPlace : public ::testing::Test {
 protected:
  TempDirectory home;
  const std::string download = home.file("Downloads/tarnwick-1.0.0/tarnwick");
  const std::string installed = home.file(".local/bin/tarnwick");
  const std::string socket = home.file("agent.sock");
  const std::string cursorConfig = home.file(".cursor/mcp.json");
  const std::map<std::string, std::string> environment = {
      {"HOME", home.path()},
      {"XDG_STATE_HOME", home.file(".local/state")},
      {"XDG_CONFIG_HOME", home.file(".config")},
      {"XDG_DATA_HOME", home.file(".local/share")},
      {"TARNWICK_SOCKET", socket},
      {"TARNWICK_PLATFORM", "sim"},
      {"TARNWICK_LOG", ""},
      {"LANGUAGE", "en"}};

  void SetUp() override {
    fs::create_directories(fs::path(download).parent_path());
    fs::copy_file(tarnwickExecutable(), download);
  }
  void TearDown() override {
    // The relaunched app is the terminal's child; one from elsewhere is found through its socket.
    if (auto owner = AgentSocket::owner(socket)) kill(*owner, SIGKILL);
  }

  void pointCursorAt(const std::string& executable) {
    fs::create_directories(fs::path(cursorConfig).parent_path());
    std::ofstream(cursorConfig) << Json{{"mcpServers", {{"tarnwick", {{"command", executable}, {"args", {"mcp"}}}}}}}.dump();
  }
  std::string cursorCommand() const { return Json::parse(*Files::read(cursorConfig))["mcpServers"]["tarnwick"]["command"]; }

  static std::string executableOf(pid_t process) {
    return fs::read_symlink("/proc/" + std::to_string(process) + "/exe").string();
  }

  // The whole offer up to the resident app's first words, answered as given.
  void answer(TerminalProcess& app, const std::string& choice, const std::string& autostart) {
    ASSERT_TRUE(app.readUntil("Choose 1, 2 or 3: ")) << app.output();
    app.type(choice);
    if (choice != "3") {
      ASSERT_TRUE(app.readUntil("Start Tarnwick when you log in? [y/N] ")) << app.output();
      app.type(autostart);
    }
    ASSERT_TRUE(app.readUntil("Tarnwick is running. Agents connect through the socket")) << app.output();
  }
};

}  // namespace

TEST_F(InstallInPlace, ADownloadedCopyInstallsItselfRepointsItsClientsAndServesFromTheNewPlace) {
  pointCursorAt(download);
  TerminalProcess app(download, {}, environment);
  ASSERT_NO_FATAL_FAILURE(answer(app, "1", ""));
  const std::string& said = app.output();
  EXPECT_NE(said.find("Install Tarnwick in a lasting place?"), std::string::npos) << said;
  EXPECT_NE(said.find("1  For me, in ~/.local/bin\r\n  2  For every user, in /usr/local/bin"), std::string::npos);
  EXPECT_EQ(said.find("already there"), std::string::npos);
  EXPECT_NE(said.find("Tarnwick is installed as ~/.local/bin/tarnwick and starts from there."), std::string::npos);
  EXPECT_NE(said.find("Cursor now starts ~/.local/bin/tarnwick."), std::string::npos);

  EXPECT_EQ(Files::read(installed), Files::read(download));
  EXPECT_EQ(fs::status(installed).permissions() & fs::perms::all, static_cast<fs::perms>(0755));
  EXPECT_EQ(cursorCommand(), installed);
  EXPECT_TRUE(fs::exists(cursorConfig + ".tarnwick.bak"));
  const auto menu = Files::read(home.file(".local/share/applications/tarnwick.desktop"));
  ASSERT_TRUE(menu);
  EXPECT_NE(menu->find("\nExec=" + installed + "\n"), std::string::npos) << *menu;
  EXPECT_FALSE(fs::exists(home.file(".config/autostart/tarnwick.desktop")));

  // The terminal's process became the installed copy, and agents reach it by the new path.
  EXPECT_EQ(AgentSocket::owner(socket), app.pid());
  EXPECT_EQ(executableOf(app.pid()), installed);
  ChildProcess relay(installed, {"mcp"}, environment);
  relay.writeLine(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18"}})");
  auto reply = relay.readLine();
  ASSERT_TRUE(reply);
  EXPECT_EQ(Json::parse(*reply)["result"]["serverInfo"]["name"], "tarnwick") << *reply;
}

TEST_F(InstallInPlace, ARunningInstalledCopyIsQuitFirstAndTheLoginStartIsOnlyOnRequest) {
  fs::create_directories(fs::path(installed).parent_path());
  fs::copy_file(tarnwickExecutable(), installed);
  ChildProcess old(installed, {"serve"}, environment);
  ASSERT_TRUE(waitForSocket(socket));

  TerminalProcess app(download, {}, environment);
  ASSERT_NO_FATAL_FAILURE(answer(app, "1", "y"));
  EXPECT_NE(app.output().find("1  For me, in ~/.local/bin\r\n     The Tarnwick already there is quit and replaced."),
            std::string::npos)
      << app.output();
  EXPECT_EQ(old.wait(std::chrono::seconds(5)), 0) << "the installed copy was asked to quit";
  EXPECT_EQ(AgentSocket::owner(socket), app.pid());
  const auto login = Files::read(home.file(".config/autostart/tarnwick.desktop"));
  ASSERT_TRUE(login);
  EXPECT_NE(login->find("\nExec=" + installed + " serve\n"), std::string::npos) << *login;
}

TEST_F(InstallInPlace, DecliningChangesNothingAndANonInteractiveStartNeverAsks) {
  pointCursorAt(download);
  const auto configBefore = Files::read(cursorConfig);
  {
    TerminalProcess app(download, {}, environment);
    ASSERT_NO_FATAL_FAILURE(answer(app, "3", ""));
    EXPECT_EQ(executableOf(app.pid()), download);
  }
  {
    auto german = environment;
    german["LANGUAGE"] = "de_DE";
    TerminalProcess app(download, {}, german);
    ASSERT_TRUE(app.readUntil("Wähle 1, 2 oder 3: ")) << app.output();
    EXPECT_NE(app.output().find("Tarnwick an einem festen Ort installieren?"), std::string::npos) << app.output();
    EXPECT_NE(app.output().find("3  Nicht jetzt"), std::string::npos);
    app.type("4");  // not a choice: asked again
    ASSERT_TRUE(app.readUntil("4\r\nWähle 1, 2 oder 3: ")) << app.output();
    app.type("\x04");  // the end of input declines
    ASSERT_TRUE(app.readUntil("Tarnwick läuft.")) << app.output();
  }
  EXPECT_FALSE(fs::exists(home.file(".local/bin")));
  EXPECT_FALSE(fs::exists(home.file(".local/share/applications")));
  EXPECT_EQ(Files::read(cursorConfig), configBefore);

  ChildProcess quiet(download, {}, environment);
  auto first = quiet.readLine();
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->starts_with("Tarnwick is running.")) << *first;
  EXPECT_FALSE(fs::exists(home.file(".local/bin")));
}
