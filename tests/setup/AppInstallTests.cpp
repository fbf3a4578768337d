#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "kit/common/Files.hpp"
#include "kit/setup/AppInstall.hpp"
#include "kit/setup/LauncherEntries.hpp"
#include "kit/setup/RunProcess.hpp"
#include "tests/support/TempDirectory.hpp"

namespace fs = std::filesystem;

namespace {

struct Places : ::testing::Test {
  TempDirectory home;

  std::string put(const std::string& relative, const std::string& text, fs::perms mode = fs::perms(0755)) {
    const std::string path = home.file(relative);
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
    fs::permissions(path, mode);
    return path;
  }
  // Runs what would go to pkexec as this user.
  static CommandResult withoutPkexec(const std::string& executable, const std::vector<std::string>& arguments,
                                     const std::map<std::string, std::string>& environment) {
    if (executable != "pkexec") return runProcess(executable, arguments, environment, 10);
    return runProcess(arguments[0], {arguments.begin() + 1, arguments.end()}, environment, 10);
  }
};

}  // namespace

TEST_F(Places, OnlyTheLastingFoldersCountAsInstalledLinksResolved) {
  const std::string bin = AppInstall::userDirectory(home.path());
  EXPECT_EQ(bin, home.file(".local/bin"));
  EXPECT_TRUE(AppInstall::isInstalled(put(".local/bin/tarnwick", "x"), home.path()));
  EXPECT_TRUE(AppInstall::isInstalled("/usr/local/bin/tarnwick", home.path()));
  EXPECT_TRUE(AppInstall::isInstalled("/usr/bin/tarnwick", home.path()));
  EXPECT_FALSE(AppInstall::isInstalled(put(".local/bin-old/tarnwick", "x"), home.path()));
  const std::string download = put("Downloads/tarnwick-1.0.0/tarnwick", "x");
  EXPECT_FALSE(AppInstall::isInstalled(download, home.path()));
  EXPECT_TRUE(AppInstall::offersMove(download, home.path()));
  fs::create_symlink(bin, home.file("linked"));
  EXPECT_TRUE(AppInstall::isInstalled(home.file("linked/tarnwick"), home.path()));
  EXPECT_FALSE(AppInstall::offersMove("", home.path())) << "an executable that cannot be found is not offered";
}

TEST_F(Places, InstallingReplacesAnOlderCopyWholeAndRootIsAskedForOnlyWhereNeeded) {
  const std::string download = put("Downloads/tarnwick", "new build");
  const std::string bin = home.file("deep/er/bin");
  EXPECT_FALSE(AppInstall::needsAdministrator(bin)) << "a folder that does not exist yet is made by this user";
  AppInstall::install(download, bin);
  EXPECT_EQ(Files::read(bin + "/tarnwick"), "new build");
  put("deep/er/bin/tarnwick", "old build", fs::perms(0700));
  AppInstall::install(download, bin);
  EXPECT_EQ(Files::read(bin + "/tarnwick"), "new build");
  EXPECT_EQ(fs::status(bin + "/tarnwick").permissions() & fs::perms::all, fs::perms(0755));
  EXPECT_EQ(std::distance(fs::directory_iterator(bin), fs::directory_iterator()), 1) << "nothing staged is left";
  EXPECT_THROW(AppInstall::install(home.file("missing"), bin), AppInstall::Failed);
  EXPECT_EQ(Files::read(bin + "/tarnwick"), "new build");
  if (geteuid() != 0) {
    fs::permissions(bin, fs::perms(0555));
    EXPECT_TRUE(AppInstall::needsAdministrator(bin));
    fs::permissions(bin, fs::perms(0755));
  }
}

TEST_F(Places, TheAdministratorsScriptQuotesEveryPathAndReportsWhatWentWrong) {
  const std::string download = put("it's a \"download\"/tarnwick", "built");
  const std::string bin = home.file("for every $user");
  EXPECT_EQ(AppInstall::administratorScript("/a b/tarnwick", "/usr/local/bin"),
            "/bin/mkdir -p /usr/local/bin && /bin/rm -f /usr/local/bin/tarnwick.new && /bin/cp '/a b/tarnwick' "
            "/usr/local/bin/tarnwick.new && /bin/chmod 755 /usr/local/bin/tarnwick.new && /bin/mv -f "
            "/usr/local/bin/tarnwick.new /usr/local/bin/tarnwick");
  AppInstall::installAsAdministrator(download, bin, withoutPkexec);
  EXPECT_EQ(Files::read(bin + "/tarnwick"), "built");
  EXPECT_FALSE(fs::exists(bin + "/tarnwick.new"));

  auto refuses = [](const std::string&, const std::vector<std::string>&, const std::map<std::string, std::string>&) {
    return CommandResult{126, ""};
  };
  try {
    AppInstall::installAsAdministrator(download, bin, refuses);
    ADD_FAILURE() << "a dismissed password prompt fails the install";
  } catch (const AppInstall::Failed& failure) {
    EXPECT_STREQ(failure.what(), "pkexec ended with status 126");
  }
}

TEST_F(Places, AnExistingCopyIsTheSameOlderOrNewerByItsBuildAndVersion) {
  using Age = AppInstall::ExistingCopy::Age;
  EXPECT_GT(AppInstall::compareVersions("1.10.0", "1.9.3"), 0);
  EXPECT_EQ(AppInstall::compareVersions("1.0", "1.0.0"), 0);
  EXPECT_EQ(AppInstall::compareVersions("2.0rc1", "2.0"), 0);
  EXPECT_LT(AppInstall::compareVersions("", "0.1"), 0);

  const std::string own = put("Downloads/tarnwick", "#!/bin/sh\necho 1.0.0\n");
  const std::string bin = home.file("bin");
  auto existing = [&] { return AppInstall::existingCopy(own, bin, "1.0.0", withoutPkexec); };
  EXPECT_FALSE(existing());
  put("bin/tarnwick", "#!/bin/sh\necho 1.0.0\n");
  EXPECT_EQ(existing()->age, Age::same);
  put("bin/tarnwick", "#!/bin/sh\necho 1.2.0\n");
  EXPECT_EQ(existing()->age, Age::newer);
  EXPECT_EQ(existing()->version, "1.2.0");
  put("bin/tarnwick", "#!/bin/sh\necho 0.9\n");
  EXPECT_EQ(existing()->age, Age::older);
  put("bin/tarnwick", "#!/bin/sh\nexit 3\n");
  EXPECT_EQ(existing()->age, Age::older) << "a copy that cannot say its version is replaced";
}

TEST(LauncherEntries, TheExecLineQuotesWhatTheDesktopEntryRulesReserve) {
  EXPECT_EQ(LauncherEntries::execLine("/home/me/.local/bin/tarnwick", "serve"), "/home/me/.local/bin/tarnwick serve");
  EXPECT_EQ(LauncherEntries::execLine("/home/my self/bin/tarnwick", ""), "\"/home/my self/bin/tarnwick\"");
  EXPECT_EQ(LauncherEntries::execLine("/a\"b$c`d\\e%f/tarnwick", ""), "\"/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e%%f/tarnwick\"");
  const std::string menu = LauncherEntries::menuEntry("/usr/local/bin/tarnwick");
  EXPECT_TRUE(menu.starts_with("[Desktop Entry]\nType=Application\nName=Tarnwick\n")) << menu;
  EXPECT_NE(menu.find("\nTerminal=true\n"), std::string::npos);
  EXPECT_NE(LauncherEntries::autostartEntry("/usr/local/bin/tarnwick").find("\nTerminal=false\n"), std::string::npos);
}
