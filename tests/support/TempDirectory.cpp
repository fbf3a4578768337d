#include "tests/support/TempDirectory.hpp"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

TempDirectory::TempDirectory() {
  char pattern[] = "/tmp/tarnwick-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}
