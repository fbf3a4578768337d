#include "platform/x11/AtspiBus.hpp"

#include <dbus/dbus.h>

namespace AtspiBus {
namespace {

constexpr int replyMilliseconds = 1000;

// The session bus, shared with the rest of the process, or null.
DBusConnection* sessionBus() {
  DBusError error;
  dbus_error_init(&error);
  DBusConnection* bus = dbus_bus_get(DBUS_BUS_SESSION, &error);
  dbus_error_free(&error);
  return bus;
}

}  // namespace

void switchOn() {
  DBusConnection* bus = sessionBus();
  if (bus == nullptr) return;
  DBusMessage* call = dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set");
  if (call != nullptr) {
    const char* interface = "org.a11y.Status";
    const char* property = "IsEnabled";
    dbus_bool_t enabled = TRUE;
    DBusMessageIter arguments, variant;
    dbus_message_iter_init_append(call, &arguments);
    dbus_message_iter_append_basic(&arguments, DBUS_TYPE_STRING, &interface);
    dbus_message_iter_append_basic(&arguments, DBUS_TYPE_STRING, &property);
    dbus_message_iter_open_container(&arguments, DBUS_TYPE_VARIANT, DBUS_TYPE_BOOLEAN_AS_STRING, &variant);
    dbus_message_iter_append_basic(&variant, DBUS_TYPE_BOOLEAN, &enabled);
    dbus_message_iter_close_container(&arguments, &variant);
    dbus_message_set_no_reply(call, TRUE);
    dbus_connection_send(bus, call, nullptr);
    dbus_connection_flush(bus);
    dbus_message_unref(call);
  }
  dbus_connection_unref(bus);
}

std::optional<std::string> address() {
  DBusConnection* bus = sessionBus();
  if (bus == nullptr) return std::nullopt;
  std::optional<std::string> result;
  DBusMessage* call = dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress");
  if (call != nullptr) {
    DBusError error;
    dbus_error_init(&error);
    DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, call, replyMilliseconds, &error);
    const char* text = nullptr;
    if (reply != nullptr && dbus_message_get_args(reply, &error, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID) &&
        text != nullptr && *text != '\0') {
      result = text;
    }
    if (reply != nullptr) dbus_message_unref(reply);
    dbus_error_free(&error);
    dbus_message_unref(call);
  }
  dbus_connection_unref(bus);
  return result;
}

}  // namespace AtspiBus
