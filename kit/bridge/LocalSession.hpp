#pragma once
#include <mutex>

#include "kit/bridge/InternetDate.hpp"

// One agent-socket connection on behalf of one remote session.
struct LocalSession {
  explicit LocalSession(int fd, Date lastMessage) : fd(fd), lastMessage(lastMessage) {}

  // Ends both directions; the reply reader then sees the end and releases the session.
  void shutDown();

  const int fd;
  Date lastMessage;       // guarded by the bridge's lock
  bool released = false;  // guarded by lock: fd is closed
  std::mutex lock;        // guards use of fd and released; never taken with the bridge's lock held
};
