#include "platform/x11/AtspiPipeline.hpp"

#include <set>

namespace AtspiPipeline {

namespace {

DBusPendingCall* start(const Call& call, int timeoutMilliseconds) {
  AtspiApplication* app = call.object->parent.app;
  if (app == nullptr || app->bus == nullptr || app->bus_name == nullptr) return nullptr;
  const char* interface = call.property != nullptr ? "org.freedesktop.DBus.Properties" : call.interface;
  DBusMessage* message = dbus_message_new_method_call(app->bus_name, call.object->parent.path, interface, call.method);
  if (message == nullptr) return nullptr;
  if (call.property != nullptr) {
    dbus_message_append_args(message, DBUS_TYPE_STRING, &call.interface, DBUS_TYPE_STRING, &call.property,
                             DBUS_TYPE_INVALID);
  } else if (call.argument) {
    const dbus_uint32_t value = *call.argument;
    dbus_message_append_args(message, DBUS_TYPE_UINT32, &value, DBUS_TYPE_INVALID);
  } else if (call.index) {
    const dbus_int32_t value = *call.index;
    dbus_message_append_args(message, DBUS_TYPE_INT32, &value, DBUS_TYPE_INVALID);
  }
  DBusPendingCall* pending = nullptr;
  if (!dbus_connection_send_with_reply(app->bus, message, &pending, timeoutMilliseconds)) pending = nullptr;
  dbus_message_unref(message);
  return pending;
}

bool isReply(DBusMessage* reply) {
  return reply != nullptr && dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN;
}

}  // namespace

std::vector<DBusMessage*> send(const std::vector<Call>& calls, int timeoutMilliseconds, bool* timedOut) {
  std::vector<DBusPendingCall*> pending;
  pending.reserve(calls.size());
  for (const auto& call : calls) pending.push_back(start(call, timeoutMilliseconds));
  // Every call is on its way before the first wait, so the time-outs run side by side.
  std::set<DBusConnection*> connections;
  for (const auto& call : calls)
    if (call.object->parent.app != nullptr && call.object->parent.app->bus != nullptr)
      connections.insert(call.object->parent.app->bus);
  for (DBusConnection* connection : connections) dbus_connection_flush(connection);
  std::vector<DBusMessage*> replies;
  replies.reserve(calls.size());
  for (DBusPendingCall* each : pending) {
    DBusMessage* reply = nullptr;
    if (each != nullptr) {
      dbus_pending_call_block(each);
      reply = dbus_pending_call_steal_reply(each);
      dbus_pending_call_unref(each);
    }
    const bool lost = reply == nullptr || (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_ERROR &&
                                           dbus_message_is_error(reply, DBUS_ERROR_NO_REPLY));
    if (each != nullptr && lost && timedOut != nullptr) *timedOut = true;
    if (reply != nullptr && !isReply(reply)) {
      dbus_message_unref(reply);
      reply = nullptr;
    }
    replies.push_back(reply);
  }
  return replies;
}

std::optional<std::array<uint32_t, 2>> states(DBusMessage* reply) {
  DBusMessageIter top, list;
  if (!isReply(reply) || !dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_ARRAY)
    return std::nullopt;
  std::array<uint32_t, 2> words{0, 0};
  size_t i = 0;
  for (dbus_message_iter_recurse(&top, &list); dbus_message_iter_get_arg_type(&list) == DBUS_TYPE_UINT32 && i < 2;
       dbus_message_iter_next(&list), ++i) {
    dbus_uint32_t word = 0;
    dbus_message_iter_get_basic(&list, &word);
    words[i] = word;
  }
  return words;
}

std::optional<std::vector<const char*>> interfaces(DBusMessage* reply) {
  DBusMessageIter top, list;
  if (!isReply(reply) || !dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_ARRAY)
    return std::nullopt;
  std::vector<const char*> names;
  for (dbus_message_iter_recurse(&top, &list); dbus_message_iter_get_arg_type(&list) == DBUS_TYPE_STRING;
       dbus_message_iter_next(&list)) {
    const char* name = nullptr;
    dbus_message_iter_get_basic(&list, &name);
    names.push_back(name);
  }
  return names;
}

std::optional<AtspiRect> extents(DBusMessage* reply) {
  DBusMessageIter top, fields;
  if (!isReply(reply) || !dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_STRUCT)
    return std::nullopt;
  dbus_int32_t values[4] = {0, 0, 0, 0};
  dbus_message_iter_recurse(&top, &fields);
  for (auto& value : values) {
    if (dbus_message_iter_get_arg_type(&fields) != DBUS_TYPE_INT32) return std::nullopt;
    dbus_message_iter_get_basic(&fields, &value);
    dbus_message_iter_next(&fields);
  }
  return AtspiRect{values[0], values[1], values[2], values[3]};
}

namespace {

// The value of a Get reply when it has the type expected.
bool propertyValue(DBusMessage* reply, int type, void* value) {
  DBusMessageIter top, variant;
  if (!isReply(reply) || !dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_VARIANT)
    return false;
  dbus_message_iter_recurse(&top, &variant);
  if (dbus_message_iter_get_arg_type(&variant) != type) return false;
  dbus_message_iter_get_basic(&variant, value);
  return true;
}

}  // namespace

std::optional<int32_t> integerProperty(DBusMessage* reply) {
  dbus_int32_t value = 0;
  if (!propertyValue(reply, DBUS_TYPE_INT32, &value)) return std::nullopt;
  return int32_t(value);
}

std::optional<double> doubleProperty(DBusMessage* reply) {
  double value = 0;
  if (!propertyValue(reply, DBUS_TYPE_DOUBLE, &value)) return std::nullopt;
  return value;
}

std::optional<std::string> textProperty(DBusMessage* reply) {
  const char* value = nullptr;
  if (!propertyValue(reply, DBUS_TYPE_STRING, &value)) return std::nullopt;
  return std::string(value);
}

std::optional<uint32_t> unsignedValue(DBusMessage* reply) {
  DBusMessageIter top;
  if (!isReply(reply) || !dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_UINT32)
    return std::nullopt;
  dbus_uint32_t value = 0;
  dbus_message_iter_get_basic(&top, &value);
  return uint32_t(value);
}

std::optional<std::string> text(DBusMessage* reply) {
  DBusMessageIter top;
  if (!isReply(reply) || !dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_STRING)
    return std::nullopt;
  const char* value = nullptr;
  dbus_message_iter_get_basic(&top, &value);
  return std::string(value);
}

std::optional<std::vector<std::string>> references(DBusMessage* reply, const char* ownBus) {
  DBusMessageIter top, list, pair;
  if (!isReply(reply) || !dbus_message_iter_init(reply, &top) || dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_ARRAY)
    return std::nullopt;
  std::vector<std::string> result;
  for (dbus_message_iter_recurse(&top, &list); dbus_message_iter_get_arg_type(&list) == DBUS_TYPE_STRUCT;
       dbus_message_iter_next(&list)) {
    const char* bus = nullptr;
    const char* path = nullptr;
    dbus_message_iter_recurse(&list, &pair);
    dbus_message_iter_get_basic(&pair, &bus);
    dbus_message_iter_next(&pair);
    dbus_message_iter_get_basic(&pair, &path);
    // Apps on a direct connection may leave their own bus name out.
    result.push_back(std::string(bus != nullptr && *bus != '\0' ? bus : ownBus) + path);
  }
  return result;
}

}  // namespace AtspiPipeline
