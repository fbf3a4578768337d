#pragma once
#include "kit/platform/Accessibility.hpp"
#include "platform/sim/SimModel.hpp"

// Accessibility of the simulated apps: their element trees, values and actions.
class SimAccessibility : public Accessibility {
 public:
  explicit SimAccessibility(SimModel& model) : model_(model) {}

  AXElement application(pid_t pid) override;
  std::pair<AXStatus, AXValue> copyAttribute(const AXElement& element, const std::string& name) override;
  std::optional<std::vector<std::optional<AXValue>>> copyAttributes(const AXElement& element,
                                                                   const std::vector<std::string>& names) override;
  std::pair<AXStatus, AXValue> copyParameterizedAttribute(const AXElement& element, const std::string& name,
                                                          const AXValue& parameter) override;
  std::optional<bool> isSettable(const AXElement& element, const std::string& name) override;
  AXStatus setAttribute(const AXElement& element, const std::string& name, const AXValue& value) override;
  std::optional<std::vector<std::string>> actionNames(const AXElement& element) override;
  AXStatus perform(const AXElement& element, const std::string& action) override;
  std::optional<WindowNumber> windowNumber(const AXElement& element) override;
  std::optional<AXElement> elementAt(pid_t pid, Point point) override;
  std::optional<AXElement> elementFromRemoteToken(const std::array<uint8_t, 20>& token) override;
  bool hasRemoteTokens() const override { return true; }

 private:
  SimModel& model_;
};
