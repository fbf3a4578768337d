#include "platform/x11/AtspiActionLine.hpp"

#include <algorithm>

namespace {

constexpr int addressTimeout = 1000;                         // milliseconds
constexpr int readTimeout = 500;                             // for the read that tells a modal loop
constexpr auto modalAfter = std::chrono::milliseconds(100);  // an action's usual time, at most
constexpr auto settleTime = std::chrono::seconds(1);         // for the windows an action opens
constexpr int pollMilliseconds = 10;

const char* const rootPath = "/org/a11y/atspi/accessible/root";

// One call on the app's shared connection: its reply, if it was no error, and whether the
// app answered at all (an error is an answer; a time-out is not).
struct Answer {
  DBusMessage* reply = nullptr;  // the caller unrefs it
  bool answered = false;
};

Answer ask(AtspiApplication* app, const char* path, const char* interface, const char* method, int timeout) {
  DBusMessage* message = dbus_message_new_method_call(app->bus_name, path, interface, method);
  if (message == nullptr) return {};
  DBusError error;
  dbus_error_init(&error);
  Answer answer;
  answer.reply = dbus_connection_send_with_reply_and_block(app->bus, message, timeout, &error);
  dbus_message_unref(message);
  const bool unanswered = dbus_error_has_name(&error, DBUS_ERROR_NO_REPLY) ||
                          dbus_error_has_name(&error, DBUS_ERROR_TIMEOUT) ||
                          dbus_error_has_name(&error, DBUS_ERROR_DISCONNECTED);
  answer.answered = answer.reply != nullptr || (dbus_error_is_set(&error) && !unanswered);
  dbus_error_free(&error);
  return answer;
}

bool isReturn(DBusMessage* reply) {
  return reply != nullptr && dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN;
}

// Whether the app still answers reads while it has not answered the action.
bool answersReads(AtspiAccessible* object) {
  Answer answer = ask(object->parent.app, object->parent.path, "org.a11y.atspi.Accessible", "GetRole", readTimeout);
  if (answer.reply != nullptr) dbus_message_unref(answer.reply);
  return answer.answered;
}

AtspiActionLine::Outcome outcomeOf(DBusMessage* reply) {
  dbus_bool_t acted = FALSE;
  if (!isReturn(reply) || !dbus_message_get_args(reply, nullptr, DBUS_TYPE_BOOLEAN, &acted, DBUS_TYPE_INVALID))
    return AtspiActionLine::Outcome::failed;
  return acted ? AtspiActionLine::Outcome::done : AtspiActionLine::Outcome::refused;
}

}  // namespace

AtspiActionLine::~AtspiActionLine() {
  for (auto& line : open_) close(line);
}

std::optional<std::string> AtspiActionLine::addressOf(AtspiApplication* app) {
  if (auto known = addresses_.find(app->bus_name); known != addresses_.end()) return known->second;
  Answer answer = ask(app, rootPath, "org.a11y.atspi.Application", "GetApplicationBusAddress", addressTimeout);
  if (!answer.answered) return std::nullopt;  // asked again next time
  // Empty for an app that offers no connection of its own (an error answers so).
  const char* text = "";
  if (answer.reply != nullptr &&
      !dbus_message_get_args(answer.reply, nullptr, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID))
    text = "";
  std::string address = text;
  if (answer.reply != nullptr) dbus_message_unref(answer.reply);
  addresses_[app->bus_name] = address;
  return address;
}

void AtspiActionLine::close(Line& line) {
  if (line.pending != nullptr) dbus_pending_call_unref(line.pending);
  dbus_connection_close(line.connection);
  dbus_connection_unref(line.connection);
}

// The app answered (before or after acting: toolkits differ), a moment has passed, and
// every window it opened meanwhile has closed, as a modal dialog does when its loop ends.
bool AtspiActionLine::hasEnded(Line& line) {
  dbus_connection_read_write_dispatch(line.connection, 0);
  if (!dbus_connection_get_is_connected(line.connection)) return true;
  if (!dbus_pending_call_get_completed(line.pending)) return false;
  if (std::chrono::steady_clock::now() - line.sent < settleTime) return false;
  const auto now = windowsOf_(line.pid);
  return std::all_of(now.begin(), now.end(), [&](WindowNumber window) {
    return std::find(line.windowsBefore.begin(), line.windowsBefore.end(), window) != line.windowsBefore.end();
  });
}

void AtspiActionLine::sweep() {
  std::erase_if(open_, [this](Line& line) {
    if (!hasEnded(line)) return false;
    close(line);
    return true;
  });
}

AtspiActionLine::Outcome AtspiActionLine::doAction(AtspiAccessible* object, pid_t pid, int index,
                                                   int timeoutMilliseconds) {
  sweep();
  AtspiApplication* app = object->parent.app;
  if (app == nullptr || app->bus == nullptr || app->bus_name == nullptr) return Outcome::failed;
  const auto address = addressOf(app);
  if (!address || address->empty()) return Outcome::failed;
  Line line{nullptr, nullptr, pid, windowsOf_(pid), std::chrono::steady_clock::now()};
  line.connection = dbus_connection_open_private(address->c_str(), nullptr);
  if (line.connection == nullptr) return Outcome::failed;
  dbus_connection_set_exit_on_disconnect(line.connection, FALSE);
  DBusMessage* message =
      dbus_message_new_method_call(app->bus_name, object->parent.path, "org.a11y.atspi.Action", "DoAction");
  const dbus_int32_t which = index;
  // No time-out of the library's own: it would end the wait the line is kept open for.
  const bool sent = message != nullptr &&
                    dbus_message_append_args(message, DBUS_TYPE_INT32, &which, DBUS_TYPE_INVALID) &&
                    dbus_connection_send_with_reply(line.connection, message, &line.pending, DBUS_TIMEOUT_INFINITE) &&
                    line.pending != nullptr;
  if (message != nullptr) dbus_message_unref(message);
  if (!sent) {
    close(line);
    return Outcome::failed;
  }
  open_.push_back(line);

  // Writing, and the handshake before it, happen in this loop's bounded waits: an app that
  // does not answer at all never finishes the handshake.
  const auto deadline = line.sent + std::chrono::milliseconds(timeoutMilliseconds);
  bool asked = false;
  while (!dbus_pending_call_get_completed(line.pending)) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return Outcome::unanswered;
    if (!asked && now - line.sent >= modalAfter) {
      asked = true;
      if (answersReads(object)) return Outcome::running;
    }
    if (!dbus_connection_read_write_dispatch(line.connection, pollMilliseconds)) return Outcome::failed;  // hung up
  }
  DBusMessage* reply = dbus_pending_call_steal_reply(line.pending);
  const Outcome outcome = outcomeOf(reply);
  if (reply != nullptr) dbus_message_unref(reply);
  return outcome;
}
