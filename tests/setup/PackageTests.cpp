#include <gtest/gtest.h>

#include <filesystem>

#include "kit/setup/RunProcess.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempDirectory.hpp"

namespace fs = std::filesystem;

TEST(Package, TheArchiveHoldsTheExecutableAndAReadmeUnderTheVersionedFolder) {
  TempDirectory out;
  const std::string build = fs::path(tarnwickExecutable()).parent_path().string();
  const auto packed = runProcess(TARNWICK_SOURCE_DIR "/scripts/package", {build, out.path()}, {}, 100);
  ASSERT_EQ(packed.status, 0) << packed.output;
  const std::string archive = out.file("tarnwick-1.0.0-linux-x86_64.tar.gz");
  EXPECT_EQ(packed.output, archive + "\n");
  const auto listed = runProcess("tar", {"-tzf", archive}, {}, 30);
  EXPECT_EQ(listed.output, "tarnwick-1.0.0/\ntarnwick-1.0.0/tarnwick\ntarnwick-1.0.0/README\n");
  ASSERT_EQ(runProcess("tar", {"-xzf", archive, "-C", out.path()}, {}, 30).status, 0);
  EXPECT_EQ(runProcess(out.file("tarnwick-1.0.0/tarnwick"), {"--version"}, {}, 30).output, "1.0.0\n");
}
