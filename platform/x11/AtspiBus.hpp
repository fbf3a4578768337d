#pragma once
#include <optional>
#include <string>

// The accessibility bus as the session announces it.
namespace AtspiBus {

// Tells every toolkit that assistive technology is at work: Qt, Chromium and Firefox
// publish their trees only then (org.a11y.Status IsEnabled on the session bus).
void switchOn();

// The bus's address from its launcher, or none when there is no launcher.
std::optional<std::string> address();

}  // namespace AtspiBus
