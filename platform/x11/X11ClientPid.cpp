#include "platform/x11/X11ClientPid.hpp"

#include <X11/extensions/XRes.h>

pid_t clientPidOf(Display* display, ::Window window) {
  XResClientIdSpec client{window, XRES_CLIENT_ID_PID_MASK};
  long count = 0;
  XResClientIdValue* values = nullptr;
  if (XResQueryClientIds(display, 1, &client, &count, &values) != Success) return 0;
  pid_t pid = 0;
  for (long i = 0; i < count; ++i)
    if (XResGetClientIdType(&values[i]) == XRES_CLIENT_ID_PID) pid = XResGetClientPid(&values[i]);
  XResClientIdsDestroy(count, values);
  return pid > 0 ? pid : 0;
}
