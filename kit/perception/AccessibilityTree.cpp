#include "kit/perception/AccessibilityTree.hpp"

#include <set>

#include "kit/common/Text.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/ElementLine.hpp"
#include "kit/platform/Desktop.hpp"

namespace {

const std::set<std::string> interactiveRoles{
    "AXButton", "AXCheckBox", "AXRadioButton", "AXPopUpButton", "AXComboBox", "AXTextField", "AXTextArea",
    "AXSlider", "AXIncrementor", "AXStepper", "AXMenuItem", "AXMenuButton", "AXLink", "AXTab",
    "AXDisclosureTriangle", "AXRow", "AXCell", "AXColorWell", "AXDateField", "AXTimeField", "AXSearchField",
    "AXSecureTextField", "AXSwitch", "AXToggle", "AXSegmentedControl", "AXMenuBarItem", "AXImage", "AXHeading",
    "AXScrollBar", "AXValueIndicator", "AXTabGroup", "AXOutline", "AXTable", "AXList", "AXWebArea", "AXSheet",
    "AXDialog", "AXWindow", "AXMenu"};
const std::set<std::string> expandableRoles{"AXPopUpButton", "AXComboBox", "AXDisclosureTriangle", "AXRow",
                                            "AXMenuButton", "AXOutline", "AXDisclosureGroup"};
const std::set<std::string> passiveActions{"AXScrollToVisible", "AXShowMenu", "AXShowDefaultUI", "AXShowAlternateUI"};
const std::set<std::string> pressedRoles{
    "AXButton", "AXLink", "AXMenuItem", "AXMenuButton", "AXMenuBarItem", "AXCheckBox", "AXRadioButton",
    "AXPopUpButton", "AXTab", "AXDisclosureTriangle", "AXTextField", "AXTextArea", "AXSearchField",
    "AXSecureTextField", "AXComboBox", "AXSwitch", "AXToggle"};
const std::set<std::string> emptyValueRoles{"AXTextField", "AXTextArea", "AXComboBox", "AXSearchField"};

// What the listing reads of each element, in one batch; nothing it does not use (each
// name can cost a bus round trip per element).
const std::vector<std::string> batchNames{"AXRole",     "AXSubrole", "AXTitle",    "AXDescription",
                                          "AXValue",    "AXPlaceholderValue",       "AXEnabled",
                                          "AXFocused",  "AXSelected", "AXExpanded", "AXPosition",
                                          "AXSize",     "AXHelp"};

using Values = std::map<std::string, AXValue>;

std::optional<std::string> text(const Values& values, const std::string& name) {
  auto found = values.find(name);
  if (found == values.end()) return std::nullopt;
  if (auto string = std::get_if<std::string>(&found->second)) return *string;
  return std::nullopt;
}

std::optional<bool> flag(const Values& values, const std::string& name) {
  auto found = values.find(name);
  if (found == values.end()) return std::nullopt;
  if (auto b = std::get_if<bool>(&found->second)) return *b;
  if (auto i = std::get_if<int64_t>(&found->second)) return *i != 0;
  return std::nullopt;
}

std::string rawLabel(const Values& values, const std::string& role) {
  for (const char* name : {"AXTitle", "AXDescription"}) {
    if (auto label = text(values, name); label && !label->empty()) return *label;
  }
  if (role == "AXStaticText") {
    if (auto value = text(values, "AXValue")) return *value;
  }
  if (auto placeholder = text(values, "AXPlaceholderValue"); placeholder && !placeholder->empty()) return *placeholder;
  if (interactiveRoles.contains(role)) {
    if (auto help = text(values, "AXHelp"); help && !help->empty()) return *help;
  }
  return "";
}

std::string cleaned(const std::string& label) { return Text::trimmed(Text::withoutPrivateUse(label)); }

// The text of a row, from its cells.
std::string rowText(const AXElement& row, int depth) {
  std::string joined;
  if (depth >= 3) return joined;
  auto children = AX::children(row);
  for (size_t i = 0; i < children.size() && i < 8; ++i) {
    auto role = AX::attribute<std::string>(children[i], "AXRole").value_or("");
    std::string piece = role == "AXStaticText" || role == "AXTextField"
                            ? AX::attribute<std::string>(children[i], "AXValue").value_or("")
                            : rowText(children[i], depth + 1);
    joined += (i ? " | " : "") + piece;
  }
  return joined;
}

std::optional<std::string> valueText(const Values& values, const std::string& role, const std::string& label) {
  auto found = values.find("AXValue");
  if (found == values.end()) return std::nullopt;
  const AXValue& value = found->second;
  if (role == "AXStaticText") {
    auto string = std::get_if<std::string>(&value);
    if (!string) return std::nullopt;
    std::string shown = cleaned(*string);
    if (shown.empty() || shown == label) return std::nullopt;
    return shown;
  }
  if (auto string = std::get_if<std::string>(&value)) {
    if (!string->empty() || emptyValueRoles.contains(role)) return *string;
    return std::nullopt;
  }
  if (auto whole = std::get_if<int64_t>(&value)) return std::to_string(*whole);
  if (auto number = std::get_if<double>(&value)) return Text::decimal(*number);
  if (auto b = std::get_if<bool>(&value)) return *b ? "1" : "0";
  return std::nullopt;
}

std::vector<std::string> listedActions(const std::vector<std::string>& actions, const std::string& role, bool inToolbar) {
  std::vector<std::string> listed;
  for (const auto& action : actions) {
    if (action == "AXPress" && pressedRoles.contains(role)) continue;
    if (inToolbar && action.starts_with("Name:")) continue;
    listed.push_back(action);
  }
  return listed;
}

std::string runs(const std::vector<int64_t>& sorted) {
  std::string text;
  for (size_t i = 0; i < sorted.size();) {
    size_t j = i;
    while (j + 1 < sorted.size() && sorted[j + 1] == sorted[j] + 1) ++j;
    if (!text.empty()) text += ", ";
    text += std::to_string(sorted[i]);
    if (j > i) text += "-" + std::to_string(sorted[j]);
    i = j + 1;
  }
  return text;
}

}  // namespace

AccessibilityTree::AccessibilityTree(Rect bounds, std::function<Point(Point)> toImage, double scale,
                                     std::optional<AXElement> focused, SnapshotRef previous, int64_t nextIndex)
    : bounds_(bounds),
      toImage_(std::move(toImage)),
      scale_(scale),
      focused_(std::move(focused)),
      previousSnapshot_(std::move(previous)),
      nextIndex_(nextIndex),
      started_(Platform::clock().now()) {
  if (previousSnapshot_) {
    for (const auto& entry : previousSnapshot_->elements) previous_.emplace(entry.record.element, &entry);
  }
}

std::string AccessibilityTree::label(const AXElement& element) {
  const Values values = AX::attributes(element, batchNames);
  const std::string role = text(values, "AXRole").value_or("AXUnknown");
  std::string shown = cleaned(rawLabel(values, role));
  return shown.empty() && role == "AXRow" ? rowText(element, 0) : shown;
}

bool AccessibilityTree::limitReached(int depth) const {
  return visited_ >= maxVisited || elements_.size() >= maxElements || characters_ >= maxCharacters ||
         depth >= maxDepth || Platform::clock().now() - started_ >= maxSeconds;
}

void AccessibilityTree::visit(const AXElement& given, int depth, const std::string& parentLabel, bool inWeb,
                              bool inToolbar) {
  if (limitReached(depth)) {
    truncated_ = true;
    return;
  }
  ++visited_;
  seen_.insert(given);
  const AXElement element = AX::withTimeout(given, AX::standardTimeout);
  const Values values = AX::attributes(element, batchNames);
  const std::string role = text(values, "AXRole").value_or("AXUnknown");
  std::optional<Rect> frame;
  if (values.contains("AXPosition") && values.contains("AXSize")) {
    auto position = std::get_if<Point>(&values.at("AXPosition"));
    auto size = std::get_if<Size>(&values.at("AXSize"));
    if (position && size) frame = Rect{*position, *size};
  }
  if (frame && frame->size.width > 0 && frame->size.height > 0 && !intersects(*frame, bounds_) && role != "AXMenu") {
    return;
  }
  if (inWeb && frame && (frame->size.width <= 1 || frame->size.height <= 1)) {
    ++offscreen_;
    return;
  }
  std::string label = cleaned(rawLabel(values, role));
  if (label.empty() && role == "AXRow") label = rowText(element, 0);  // as label() does
  const auto value = valueText(values, role, label);
  const auto allActions = AX::actions(element);
  const auto actions = [&] {
    std::vector<std::string> kept;
    for (const auto& action : allActions) {
      if (!passiveActions.contains(action)) kept.push_back(action);
    }
    return kept;
  }();

  const bool zeroSized = frame && (frame->size.width == 0 || frame->size.height == 0);
  const bool listed = !(role == "AXStaticText" && label == parentLabel) && !(zeroSized && label.empty()) &&
                      !(!interactiveRoles.contains(role) && label.empty() && !value && actions.empty());
  if (listed) {
    ElementLine::Parts parts;
    parts.role = role;
    parts.subrole = text(values, "AXSubrole").value_or("");
    parts.label = label;
    parts.value = value;
    parts.focused = focused_ && *focused_ == element;
    parts.selected = flag(values, "AXSelected").value_or(false);
    parts.disabled = flag(values, "AXEnabled") == false;
    if (expandableRoles.contains(role)) parts.expanded = flag(values, "AXExpanded");
    parts.frame = role == "AXStaticText" ? std::nullopt : frame;
    parts.actions = listedActions(actions, role, inToolbar);

    ListedElement entry;
    entry.record = {element, role, label, parts.frame, allActions};
    entry.depth = depth;
    entry.line = ElementLine::compose(parts, toImage_, scale_);
    if (auto before = previous_.find(element); before != previous_.end()) {
      entry.index = before->second->index;
      entry.unchanged = before->second->line == entry.line;
    } else {
      entry.index = nextIndex_++;
    }
    characters_ += entry.rendered().size() + 1;
    elements_.push_back(std::move(entry));
  }
  if (role == "AXMenuBar") return;  // summarised separately in the report
  const int childDepth = listed ? depth + 1 : depth;
  const std::string& childParent = listed ? label : parentLabel;
  for (const auto& child : AX::children(element)) {
    visit(child, childDepth, childParent, inWeb || role == "AXWebArea", inToolbar || role == "AXToolbar");
  }
}

std::vector<ElementRecord> AccessibilityTree::records() const {
  std::vector<ElementRecord> result;
  for (const auto& entry : elements_) result.push_back(entry.record);
  return result;
}

std::vector<std::string> AccessibilityTree::lines() const {
  std::vector<std::string> result;
  for (const auto& entry : elements_) result.push_back(entry.rendered());
  return result;
}

std::optional<std::vector<std::string>> AccessibilityTree::changedLines() const {
  size_t changed = 0;
  for (const auto& entry : elements_) changed += !entry.unchanged;
  if (changed * 2 > elements_.size()) return std::nullopt;
  std::vector<bool> shown(elements_.size(), false);
  for (size_t i = 0; i < elements_.size(); ++i) {
    if (elements_[i].unchanged) continue;
    shown[i] = true;
    // Its ancestors: each earlier entry shallower than the last one added.
    int depth = elements_[i].depth;
    for (size_t j = i; j-- > 0 && depth > 0;) {
      if (elements_[j].depth < depth) {
        shown[j] = true;
        depth = elements_[j].depth;
      }
    }
  }
  std::vector<std::string> result;
  for (size_t i = 0; i < elements_.size(); ++i) {
    if (shown[i]) result.push_back(elements_[i].rendered());
  }
  return result;
}

std::string AccessibilityTree::goneIndexes() const {
  if (!previousSnapshot_) return "";
  std::set<int64_t> listed;
  for (const auto& entry : elements_) listed.insert(entry.index);
  std::set<int64_t> gone;
  for (const auto& entry : previousSnapshot_->elements) {
    if (!listed.contains(entry.index)) gone.insert(entry.index);
  }
  return runs(std::vector<int64_t>(gone.begin(), gone.end()));
}
