#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "kit/setup/AgentConnection.hpp"
#include "kit/setup/ClientSetup.hpp"
#include "kit/setup/ConnectionReports.hpp"
#include "kit/setup/MergedConfig.hpp"
#include "kit/setup/RunProcess.hpp"
#include "tests/support/TempDirectory.hpp"

namespace fs = std::filesystem;

namespace {

using Client = ClientSetup::Client;

std::string slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream data;
  data << file.rdbuf();
  return data.str();
}

void put(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

struct Home : ::testing::Test {
  TempDirectory home;
  ClientSetup setup{"/opt/tarn wick/bin/tarnwick", home.path(),
                    [](const std::string& e, const std::vector<std::string>& a,
                       const std::map<std::string, std::string>& env) { return runProcess(e, a, env, 1); },
                    false};
  std::string detail(Client client) { return ConnectionReports::detail(setup.connect(client), home.path(), false); }
  std::string path(const std::string& relative) { return home.file(relative); }
};

}  // namespace

TEST_F(Home, MissingClientsAreNotInstalledAndNothingIsCreated) {
  for (Client client : ClientSetup::clients()) EXPECT_EQ(detail(client), "Not installed");
  EXPECT_TRUE(fs::is_empty(home.path()));
  auto summary = ConnectionReports::summary(setup.connectAll(), home.path(), setup.executable, false);
  EXPECT_NE(summary.find("No supported agent was found on this computer."), std::string::npos);
  EXPECT_NE(summary.find("claude mcp add --scope user tarnwick -- '/opt/tarn wick/bin/tarnwick' mcp"), std::string::npos);
}

TEST_F(Home, JsonConfigsKeepOtherServersAndAreWrittenOnce) {
  put(path(".cursor/mcp.json"), R"({"mcpServers":{"other":{"command":"/usr/bin/x"}},"theme":"dark/blue"})");
  EXPECT_EQ(detail(Client::cursor), "Connected");
  const std::string written = slurp(path(".cursor/mcp.json"));
  Json document = Json::parse(written);
  EXPECT_EQ(document["mcpServers"]["other"]["command"], "/usr/bin/x");
  EXPECT_EQ(document["mcpServers"]["tarnwick"], Json({{"command", setup.executable}, {"args", {"mcp"}}}));
  EXPECT_NE(written.find("\"dark/blue\""), std::string::npos) << "slashes are not escaped";
  EXPECT_TRUE(written.ends_with("}\n"));
  EXPECT_LT(written.find("\"mcpServers\""), written.find("\"theme\"")) << "keys sorted";
  EXPECT_EQ(slurp(path(".cursor/mcp.json.tarnwick.bak")),
            R"({"mcpServers":{"other":{"command":"/usr/bin/x"}},"theme":"dark/blue"})");

  auto before = fs::last_write_time(path(".cursor/mcp.json"));
  fs::remove(path(".cursor/mcp.json.tarnwick.bak"));
  EXPECT_EQ(detail(Client::cursor), "Connected");
  EXPECT_EQ(fs::last_write_time(path(".cursor/mcp.json")), before) << "never written twice";
  EXPECT_FALSE(fs::exists(path(".cursor/mcp.json.tarnwick.bak")));

  fs::create_directories(path(".config/Code/User"));
  EXPECT_EQ(detail(Client::vsCode), "Connected");
  EXPECT_EQ(Json::parse(slurp(path(".config/Code/User/mcp.json")))["servers"]["tarnwick"]["type"], "stdio");
  put(path(".config/Claude/claude_desktop_config.json"), "  \n");
  EXPECT_EQ(detail(Client::claudeDesktop), "Connected") << "white space counts as an empty object";
}

TEST_F(Home, ConfigsThatCannotBeReadWithCertaintyAreLeftAloneWithoutBackup) {
  for (const std::string text : {"[]", R"({"mcpServers":[]})", "{broken", R"({"mcpServers":"x"})"}) {
    put(path(".cursor/mcp.json"), text);
    EXPECT_EQ(detail(Client::cursor), "~/.cursor/mcp.json could not be read safely, so it was left unchanged.");
    EXPECT_EQ(slurp(path(".cursor/mcp.json")), text);
    EXPECT_FALSE(fs::exists(path(".cursor/mcp.json.tarnwick.bak")));
  }
  for (const std::string text : {"mcp_servers.tarnwick.command = \"x\"\n", "[mcp_servers]\ntarnwick = { command = \"x\" }\n",
                                 "key = \"open\n", "a = [1,\n", "x = ]\n", "\xff = 1\n"}) {
    put(path(".codex/config.toml"), text);
    EXPECT_EQ(detail(Client::codex), "~/.codex/config.toml could not be read safely, so it was left unchanged.") << text;
    EXPECT_EQ(slurp(path(".codex/config.toml")), text);
  }
}

TEST_F(Home, ALinkedConfigIsWrittenAtItsTarget) {
  put(path("dotfiles/cursor.json"), "{}");
  fs::create_directories(path(".cursor"));
  fs::create_symlink(path("dotfiles/cursor.json"), path(".cursor/mcp.json"));
  EXPECT_EQ(detail(Client::cursor), "Connected");
  EXPECT_TRUE(fs::is_symlink(path(".cursor/mcp.json")));
  EXPECT_TRUE(Json::parse(slurp(path("dotfiles/cursor.json")))["mcpServers"].contains("tarnwick"));
  EXPECT_TRUE(fs::exists(path("dotfiles/cursor.json.tarnwick.bak")));
}

TEST_F(Home, CodexKeepsTheFileAndReplacesTheOldSectionInPlace) {
  put(path(".codex/config.toml"),
      "model = \"o3\"\r\n\r\n[mcp_servers.tarnwick]\r\ncommand = \"/old\"\r\n\r\n[mcp_servers.tarnwick.env]\r\n"
      "A = \"1\"\r\n# the next table\r\n[profiles.fast]\r\nmodel = \"mini\"\r\n");
  EXPECT_EQ(detail(Client::codex), "Connected");
  EXPECT_EQ(slurp(path(".codex/config.toml")),
            "model = \"o3\"\r\n\r\n[mcp_servers.tarnwick]\r\ncommand = \"/opt/tarn wick/bin/tarnwick\"\r\n"
            "args = [\"mcp\"]\r\n# the next table\r\n[profiles.fast]\r\nmodel = \"mini\"\r\n");
  put(path(".codex/config.toml"), "model = \"o3\"");
  EXPECT_EQ(detail(Client::codex), "Connected");
  EXPECT_EQ(slurp(path(".codex/config.toml")),
            "model = \"o3\"\n\n[mcp_servers.tarnwick]\ncommand = \"/opt/tarn wick/bin/tarnwick\"\nargs = [\"mcp\"]\n");
}

TEST(MergedConfigText, TomlQuotingEscapesWhatTomlRequires) {
  EXPECT_EQ(MergedConfig::tomlQuoted("C:\\a \"b\"\t\x01\x7F\u00e9"), "\"C:\\\\a \\\"b\\\"\\t\\u0001\\u007F\u00e9\"");
  EXPECT_EQ(AgentConnection::shellQuoted("/usr/bin/tarnwick"), "/usr/bin/tarnwick");
  EXPECT_EQ(AgentConnection::shellQuoted("/it's here"), "'/it'\\''s here'");
  EXPECT_EQ(AgentConnection::shellQuoted(""), "''");
}

TEST_F(Home, TheClaudeToolIsRunWithBothArgumentListsAndItsFailureReported) {
  const std::string log = path("calls");
  put(path(".local/bin/claude"), "#!/bin/sh\necho \"$@\" >> " + log + "\necho \"$PATH\" | cut -d: -f1 >> " + log +
                                     "\n[ \"$2\" = add ] && exit 1\nexit 0\n");
  chmod(path(".local/bin/claude").c_str(), 0755);
  EXPECT_EQ(detail(Client::claudeCode), "The Claude CLI reported: exit status 1");
  EXPECT_EQ(slurp(log), "mcp remove --scope user tarnwick\n" + path(".local/bin") +
                            "\nmcp add --scope user tarnwick -- /opt/tarn wick/bin/tarnwick mcp\n" +
                            path(".local/bin") + "\n");

  put(path(".local/bin/claude"), "#!/bin/sh\nexec sleep 30\n");
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(detail(Client::claudeCode), "The Claude CLI reported: exit status 137");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(25)) << "the hanging tool was ended";
}

TEST(RunProcessLimits, ReportsWhatCannotStart) {
  auto result = runProcess("/nonexistent/tool", {}, {}, 5);
  EXPECT_EQ(result.status, -1);
  EXPECT_EQ(result.output, "No such file or directory");
}

TEST(MergedConfigText, JsonIsEditedInPlaceInItsOwnLayout) {
  const Json entry{{"command", "/t"}, {"args", {"mcp"}}};
  auto merged = [&](const std::string& text) { return MergedConfig::json(text, "mcpServers", "tarnwick", entry); };
  // Numbers, key order and everything else stay as written.
  EXPECT_EQ(merged(R"({"b": 12345678901234567890123, "a": -0, "c": 1E2, "mcpServers": {"x": 1}})"),
            R"({"b": 12345678901234567890123, "a": -0, "c": 1E2, "mcpServers": {"x": 1, "tarnwick": {"args":["mcp"],"command":"/t"}}})"
            "\n");
  EXPECT_EQ(merged("{\n  \"z\": 1,\n  \"mcpServers\": {\n    \"x\": {}\n  }\n}\n"),
            "{\n  \"z\": 1,\n  \"mcpServers\": {\n    \"x\": {},\n    \"tarnwick\": {\n      \"args\": [\n        \"mcp\"\n"
            "      ],\n      \"command\": \"/t\"\n    }\n  }\n}\n");
  EXPECT_EQ(merged("{\n\t\"z\": 1\n}"),
            "{\n\t\"z\": 1,\n\t\"mcpServers\": {\n\t\t\"tarnwick\": {\n\t\t\t\"args\": [\n\t\t\t\t\"mcp\"\n\t\t\t],\n"
            "\t\t\t\"command\": \"/t\"\n\t\t}\n\t}\n}\n");
  EXPECT_EQ(merged("{\"mcpServers\": {}}"), "{\"mcpServers\": {\"tarnwick\": {\"args\":[\"mcp\"],\"command\":\"/t\"}}}\n");
  EXPECT_EQ(merged("{}"), "{\"mcpServers\": {\"tarnwick\":{\"args\":[\"mcp\"],\"command\":\"/t\"}}}\n");
  // An older entry is replaced where it stands.
  EXPECT_EQ(merged(R"({"mcpServers": {"tarnwick": {"command": "/old"}, "y": [1, 2.50]}})"),
            R"({"mcpServers": {"tarnwick": {"args":["mcp"],"command":"/t"}, "y": [1, 2.50]}})" "\n");
  EXPECT_EQ(merged(R"({"mcpServers": {"tarnwick": 7}})"), R"({"mcpServers": {"tarnwick": {"args":["mcp"],"command":"/t"}}})" "\n");
  EXPECT_EQ(merged(R"({"mcpServers": {"tarnwick": {"command": "/t", "args": ["mcp"]}}})"), std::nullopt);
}

TEST(MergedConfigText, JsonThatNoEditCouldBeSureOfIsRefused) {
  const Json entry{{"command", "/t"}};
  auto refused = [&](const std::string& text) {
    try {
      MergedConfig::json(text, "mcpServers", "tarnwick", entry);
      return false;
    } catch (const MergedConfig::Unreadable&) {
      return true;
    }
  };
  EXPECT_TRUE(refused(R"({"a": 1, "a": 2})")) << "a repeated key";
  EXPECT_TRUE(refused(R"({"mcpServers": {"x": {"k": 1, "k": 1}}})")) << "a repeated key deeper down";
  EXPECT_TRUE(refused(std::string(50000, '[') + std::string(50000, ']'))) << "nested beyond the parser's limit";
  EXPECT_TRUE(refused("{\"x\": " + std::string(300, '[') + std::string(300, ']') + "}"));
  EXPECT_FALSE(refused("{\"x\": " + std::string(100, '[') + std::string(100, ']') + "}"));
}

TEST_F(Home, WritesKeepTheModeAndOwnerAndNeverFollowALinkAtTheBackup) {
  const std::string config = path(".cursor/mcp.json");
  put(config, "{}");
  chmod(config.c_str(), 0640);
  if (geteuid() != 0) GTEST_SKIP() << "giving the file another owner needs root";
  ASSERT_EQ(chown(config.c_str(), 65534, 65534), 0);
  put(path("victim.txt"), "precious");
  fs::create_symlink(path("victim.txt"), config + ".tarnwick.bak");

  EXPECT_EQ(detail(Client::cursor), "Connected");
  struct stat info {};
  ASSERT_EQ(stat(config.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(slurp(path("victim.txt")), "precious") << "the link at the backup's place was replaced, not followed";
  EXPECT_FALSE(fs::is_symlink(config + ".tarnwick.bak"));
  EXPECT_EQ(slurp(config + ".tarnwick.bak"), "{}");
  ASSERT_EQ(stat((config + ".tarnwick.bak").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  for (const auto& entry : fs::directory_iterator(path(".cursor"))) {
    EXPECT_EQ(entry.path().string().find(".tmp."), std::string::npos) << "no temporary file is left";
  }
}

TEST_F(Home, LinkedConfigsStayLinksAndLoopsAndReadOnlyFilesAreLeftAlone) {
  const std::string config = path(".cursor/mcp.json");
  fs::create_directories(path(".cursor"));
  fs::create_directories(path("dotfiles"));
  fs::create_symlink("../dotfiles/cursor.json", config);  // dangling, relative
  EXPECT_EQ(detail(Client::cursor), "Connected");
  EXPECT_TRUE(fs::is_symlink(config));
  EXPECT_TRUE(Json::parse(slurp(path("dotfiles/cursor.json")))["mcpServers"].contains("tarnwick"));

  fs::remove(config);
  fs::create_symlink(config, config);
  EXPECT_EQ(detail(Client::cursor), "~/.cursor/mcp.json is a symbolic link that leads back to itself, so it was left unchanged.");
  EXPECT_TRUE(fs::is_symlink(config));

  fs::remove(config);
  put(config, R"({"mcpServers": {}})");
  chmod(config.c_str(), 0444);
  EXPECT_EQ(detail(Client::cursor), "~/.cursor/mcp.json is read-only, so it was left unchanged.");
  EXPECT_EQ(slurp(config), R"({"mcpServers": {}})");
  EXPECT_FALSE(fs::exists(config + ".tarnwick.bak"));
}

TEST_F(Home, TheClaudeToolsOutputIsReportedByItsLastLinesAndNeverDrivesTheTerminal) {
  put(path(".local/bin/claude"),
      "#!/bin/sh\n[ \"$2\" = add ] || exit 0\nseq 1 100000\nprintf 'fine\\033[2J\\n'\nexit 1\n");
  chmod(path(".local/bin/claude").c_str(), 0755);
  EXPECT_EQ(detail(Client::claudeCode),
            "The Claude CLI reported: (99996 earlier lines not shown)\n99997\n99998\n99999\n100000\nfine\\x1B[2J");
}

TEST_F(Home, RepointingConnectsOnlyTheClientsThatStartedTheOldPath) {
  const std::string old = "/home/me/Downloads/tarnwick-1.0.0/tarnwick";
  const std::string log = path("calls");
  put(path(".local/bin/claude"), "#!/bin/sh\necho \"$@\" >> " + log + "\n");
  chmod(path(".local/bin/claude").c_str(), 0755);
  put(path(".claude.json"), Json{{"mcpServers", {{"tarnwick", {{"type", "stdio"}, {"command", old}, {"args", {"mcp"}}}}}}}.dump());
  put(path(".codex/config.toml"), "[mcp_servers.tarnwick]\ncommand = \"" + old + "\"\nargs = [\"mcp\"]\n");
  put(path(".cursor/mcp.json"), R"({"mcpServers":{"tarnwick":{"command":"/usr/bin/tarnwick","args":["mcp"]}}})");
  put(path(".config/Code/User/mcp.json"), "not json");

  EXPECT_TRUE(setup.pointsTo(Client::claudeCode, old));
  EXPECT_FALSE(setup.pointsTo(Client::cursor, old));
  EXPECT_FALSE(setup.pointsTo(Client::vsCode, old));
  const auto reports = setup.repoint(old);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].client, Client::claudeCode);
  EXPECT_EQ(reports[1].client, Client::codex);
  EXPECT_NE(slurp(log).find("mcp add --scope user tarnwick -- /opt/tarn wick/bin/tarnwick mcp"), std::string::npos);
  EXPECT_TRUE(setup.pointsTo(Client::codex, setup.executable));
  EXPECT_EQ(slurp(path(".cursor/mcp.json")), R"({"mcpServers":{"tarnwick":{"command":"/usr/bin/tarnwick","args":["mcp"]}}})");
  EXPECT_EQ(slurp(path(".config/Code/User/mcp.json")), "not json");
}
