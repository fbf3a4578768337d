#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/x11/DesktopEntries.hpp"
#include "tests/support/ScopedEnvironment.hpp"
#include "tests/support/TempDirectory.hpp"

TEST(DesktopEntries, AppsAreFoundByEntryNameAppIdOrFileAndTheirCommandOpensTheTarget) {
  TempDirectory data;
  std::filesystem::create_directories(data.file("applications"));
  std::ofstream(data.file("applications/org.example.Paint.desktop"))
      << "[Desktop Entry]\nName=Paint Studio\nExec=/opt/paint/bin/paint %U\n[Desktop Action New]\nExec=/wrong\n";
  ScopedEnvironment dataDirs("XDG_DATA_DIRS", data.path());
  ScopedEnvironment dataHome("XDG_DATA_HOME", data.file("none"));

  const std::string entry = data.file("applications/org.example.Paint.desktop");
  for (const char* query : {"Paint Studio", "org.example.Paint", "ORG.EXAMPLE.PAINT.desktop"}) {
    EXPECT_EQ(DesktopEntries::locate(query), entry) << query;
  }
  EXPECT_EQ(DesktopEntries::locate("paint"), entry) << "the program the entry starts";
  EXPECT_EQ(DesktopEntries::locate("Nothing"), std::nullopt);
  {
    ScopedEnvironment path("PATH", "/nonexistent:/usr/bin");
    EXPECT_EQ(DesktopEntries::locate("env"), "/usr/bin/env") << "a program without an entry";
  }

  auto read = DesktopEntry::read(entry);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->exec, (std::vector<std::string>{"/opt/paint/bin/paint", "%U"}));
  EXPECT_EQ(DesktopEntries::commandLine(*read, "/tmp/a b.png"),
            (std::vector<std::string>{"/opt/paint/bin/paint", "/tmp/a b.png"}));
  EXPECT_EQ(DesktopEntries::commandLine(*read, std::nullopt), (std::vector<std::string>{"/opt/paint/bin/paint"}));
}
