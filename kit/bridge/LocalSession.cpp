#include "kit/bridge/LocalSession.hpp"

#include <sys/socket.h>

void LocalSession::shutDown() {
  std::lock_guard guard(lock);
  if (!released) shutdown(fd, SHUT_RDWR);
}
