#include "kit/actions/ValueSetter.hpp"

#include <cmath>
#include <set>

#include "kit/actions/Menus.hpp"
#include "kit/actions/TextRepair.hpp"
#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/ElementLine.hpp"
#include "kit/platform/Desktop.hpp"

namespace ValueSetter {
namespace {

const std::set<std::string> toggleRoles{"AXCheckBox", "AXRadioButton", "AXSwitch", "AXToggle"};
const std::set<std::string> numericRoles{"AXSlider",         "AXIncrementor",      "AXStepper",
                                         "AXValueIndicator", "AXLevelIndicator",   "AXProgressIndicator"};
const std::set<std::string> menuRoles{"AXPopUpButton", "AXMenuButton"};
const std::set<std::string> onWords{"1", "true", "on", "yes", "checked", "selected"};
const std::set<std::string> offWords{"0", "false", "off", "no", "unchecked"};

void sleep(double seconds) { Platform::clock().sleep(seconds); }

std::optional<double> number(const AXElement& element) { return AX::attribute<double>(element, "AXValue"); }

// A checkbox's state as a number (some apps answer true/false).
std::optional<bool> truth(const AXElement& element) {
  auto read = AX::value(element, "AXValue");
  if (!read) return std::nullopt;
  if (auto flag = std::get_if<bool>(&*read)) return *flag;
  if (auto whole = std::get_if<int64_t>(&*read)) return *whole != 0;
  if (auto real = std::get_if<double>(&*read)) return *real != 0;
  return std::nullopt;
}

std::optional<double> parsed(const std::string& value) {
  std::string text = Text::trimmed(value);
  for (char& c : text)
    if (c == ',') c = '.';
  if (text.empty()) return std::nullopt;
  try {
    size_t used = 0;
    const double result = std::stod(text, &used);
    if (used != text.size() || !std::isfinite(result)) return std::nullopt;
    return result;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string quoted(const std::string& text) { return ElementLine::quoted(text, 200); }

std::string setText(const std::string& value, const ElementRecord& record) {
  const AXElement& element = record.element;
  AX::set(element, "AXFocused", true);
  const auto old = AX::attribute<std::string>(element, "AXValue");
  AXStatus status = AX::set(element, "AXValue", value);
  if (status != AXError::success) throw ToolError("Could not set the value: " + AX::message(status) + ".");
  const auto actions = AX::actions(element);
  if (record.role == "AXComboBox" && std::find(actions.begin(), actions.end(), "AXConfirm") != actions.end())
    AX::perform(element, "AXConfirm");
  const auto now = TextRepair::settledValue(element, value);
  const std::string subrole = AX::attribute<std::string>(element, "AXSubrole").value_or("");
  if (!now || *now == value || record.role == "AXSecureTextField" || subrole == "AXSecureTextField")
    return "Set the value.";
  if (old && *now == *old) {
    return "The app kept its old value " + quoted(*now) +
           ". The field has focus now: select its text (press_key cmd+a) and type the value instead.";
  }
  return "Set the value; the field now reads " + quoted(*now) + " (the app reformatted it).";
}

}  // namespace

std::string set(const std::string& value, const ElementRecord& record, pid_t pid) {
  const AXElement element = AX::withTimeout(record.element, AX::standardTimeout);
  if (toggleRoles.contains(record.role)) return setToggle(value, element);
  if (numericRoles.contains(record.role)) return setNumber(value, element);
  if (menuRoles.contains(record.role)) return Menus::choose(value, element, pid);
  const bool settable = AX::isSettable(element, "AXValue");
  if (record.role == "AXComboBox" && !settable) return Menus::choose(value, element, pid);
  if (settable) return setText(value, {element, record.role, record.label, record.frame, record.actions});
  const std::string subrole = AX::attribute<std::string>(element, "AXSubrole").value_or("");
  throw ToolError("This " + ElementLine::roleName(record.role, subrole) +
                  " has no settable value. Click it and type, or use perform_secondary_action.");
}

std::string setToggle(const std::string& value, const AXElement& element) {
  const std::string word = Text::lowered(Text::trimmed(value));
  if (!onWords.contains(word) && !offWords.contains(word))
    throw ToolError("Use true or false for a checkbox, radio button or switch.");
  const bool wanted = onWords.contains(word);
  if (truth(element) == wanted) return wanted ? "Already on." : "Already off.";
  AXStatus status = AX::perform(element, "AXPress");
  if (!AX::acted(status)) throw ToolError("Could not toggle: " + AX::message(status) + ".");
  sleep(0.08);
  if (auto now = truth(element); now && *now != wanted)
    return std::string("Pressed it, but it still reads ") + (*now ? "on" : "off") + ".";
  return wanted ? "Turned on." : "Turned off.";
}

std::string setNumber(const std::string& value, const AXElement& element) {
  const auto target = parsed(value);
  if (!target) throw ToolError("Use a number for this control.");
  if (AX::isSettable(element, "AXValue")) {
    AX::set(element, "AXValue", *target);
    sleep(0.08);
    if (auto read = number(element); read && std::abs(*read - *target) < 0.0001)
      return "Set to " + Text::decimal(*read) + ".";
  }
  const auto actions = AX::actions(element);
  auto lists = [&](const char* action) { return std::find(actions.begin(), actions.end(), action) != actions.end(); };
  auto current = number(element);
  if (!lists("AXIncrement") || !lists("AXDecrement") || !current)
    throw ToolError("This control's value cannot be set directly. Use click or drag on it.");
  // One step at a time, until the value reaches or passes the target or stops moving.
  for (int step = 0; step < 1000 && std::abs(*current - *target) >= 0.0001; ++step) {
    const bool up = *current < *target;
    if (!AX::acted(AX::perform(element, up ? "AXIncrement" : "AXDecrement"))) break;
    auto next = changedValue(element, *current);
    if (!next) break;
    current = next;
    if (up ? *current >= *target : *current <= *target) break;
  }
  return "Stepped to " + Text::decimal(*current) + ".";
}

std::optional<double> changedValue(const AXElement& element, double from) {
  for (int read = 0; read < 20; ++read) {
    if (read > 0) sleep(0.015);
    if (auto now = number(element); now && *now != from) return now;
  }
  return std::nullopt;
}

}  // namespace ValueSetter
