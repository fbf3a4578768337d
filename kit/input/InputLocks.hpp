#pragma once
#include <sys/types.h>

#include <utility>

// Per-app input locks: one agent's input to an app never interleaves with another's.
namespace InputLocks {

template <typename Work>
auto withLock(pid_t, Work&& work) {
  // No input reaches apps yet, so there is nothing to serialise.
  return std::forward<Work>(work)();
}

}  // namespace InputLocks
