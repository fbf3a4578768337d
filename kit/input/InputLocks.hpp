#pragma once
#include <sys/types.h>

#include <utility>

// Per-app input locks. Today no input reaches apps, so withLock runs the work at once
// without taking any lock.
namespace InputLocks {

template <typename Work>
auto withLock(pid_t, Work&& work) {
  return std::forward<Work>(work)();
}

}  // namespace InputLocks
