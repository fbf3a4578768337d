// Every test process keeps its state and settings in folders of its own, emptied before
// each test: what one test parks, journals or counts never reaches the user's files or
// another test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/TempDirectory.hpp"

namespace {

class PrivateStateFolders : public testing::EmptyTestEventListener {
 public:
  PrivateStateFolders() {
    setenv("XDG_STATE_HOME", folders_.file("state").c_str(), 1);
    setenv("XDG_CONFIG_HOME", folders_.file("config").c_str(), 1);
  }
  void OnTestStart(const testing::TestInfo&) override {
    std::error_code ignored;
    for (const char* name : {"state", "config"}) {
      std::filesystem::remove_all(folders_.file(name), ignored);
      std::filesystem::create_directories(folders_.file(name), ignored);
    }
  }

 private:
  TempDirectory folders_;
};

const bool registered = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new PrivateStateFolders);
  return true;
}();

}  // namespace
