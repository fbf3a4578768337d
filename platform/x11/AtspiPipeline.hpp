#pragma once
#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Many AT-SPI reads sent before any answer is awaited: an app answers a burst in about the
// time of one round trip, where one call after another pays a round trip each.
namespace AtspiPipeline {

struct Call {
  AtspiAccessible* object;
  const char* interface;  // "org.a11y.atspi.Accessible", …
  const char* method;
  std::optional<uint32_t> argument;  // the one uint32 some methods take
  std::optional<int32_t> index = std::nullopt;  // or the one int32
  // Or, with the method "Get", the property of that name of the interface.
  const char* property = nullptr;
};

// One reply per call, in order: null for a call that failed or was never sent. The caller
// unrefs the replies. A call the app left unanswered within the time-out sets timedOut.
std::vector<DBusMessage*> send(const std::vector<Call>& calls, int timeoutMilliseconds, bool* timedOut = nullptr);

// Readers of the replies the walk asks for; none for an error or an unexpected shape.
std::optional<std::array<uint32_t, 2>> states(DBusMessage* reply);        // GetState
std::optional<std::vector<const char*>> interfaces(DBusMessage* reply);  // GetInterfaces, alive with the reply
std::optional<AtspiRect> extents(DBusMessage* reply);                      // GetExtents
std::optional<int32_t> integerProperty(DBusMessage* reply);                 // Get of an int32 property
std::optional<double> doubleProperty(DBusMessage* reply);                   // of a double one
std::optional<std::string> textProperty(DBusMessage* reply);                // of a string one
std::optional<uint32_t> unsignedValue(DBusMessage* reply);                  // GetRole
std::optional<std::string> text(DBusMessage* reply);      // a string: Action.GetName, …
// GetChildren: bus name and path of each child, the app's own bus where it leaves it out.
std::optional<std::vector<std::string>> references(DBusMessage* reply, const char* ownBus);

}  // namespace AtspiPipeline
