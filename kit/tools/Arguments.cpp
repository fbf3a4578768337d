#include "kit/tools/Arguments.hpp"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"

namespace {

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

std::string decimalText(const Json& value) {
  if (value.is_boolean()) return value.get<bool>() ? "1" : "0";
  if (value.is_number_integer()) return value.dump();
  return Text::decimal(value.get<double>());
}

std::optional<double> parseNumberText(const std::string& text) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
  char* end = nullptr;
  double number = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return std::nullopt;
  return number;
}

int64_t wholeNumber(double value, const std::string& name) {
  // 2^63 is the first double past the int64 range.
  if (!std::isfinite(value) || std::fabs(value) >= 9223372036854775808.0) {
    throw ToolError(quoted(name) + " must be a finite number within the range of whole numbers.");
  }
  return static_cast<int64_t>(std::trunc(value));
}

}  // namespace

std::optional<double> Arguments::number(const Json& value) {
  if (value.is_boolean()) return value.get<bool>() ? 1.0 : 0.0;
  if (value.is_number()) return value.get<double>();
  if (value.is_string()) return parseNumberText(value.get<std::string>());
  return std::nullopt;
}

std::optional<std::string> Arguments::optionalString(const std::string& name) const {
  auto found = values_.find(name);
  if (found == values_.end()) return std::nullopt;
  if (found->is_string()) {
    const auto& text = found->get_ref<const std::string&>();
    if (text.empty()) return std::nullopt;
    return text;
  }
  if (found->is_number() || found->is_boolean()) return decimalText(*found);
  return std::nullopt;
}

std::string Arguments::string(const std::string& name) const {
  if (auto text = optionalString(name)) return *text;
  auto found = values_.find(name);
  if (found != values_.end() && found->is_string()) return "";
  throw ToolError("Missing argument " + quoted(name) + ".");
}

std::optional<double> Arguments::doubleValue(const std::string& name) const {
  auto found = values_.find(name);
  if (found == values_.end()) return std::nullopt;
  return number(*found);
}

std::optional<int64_t> Arguments::optionalInt(const std::string& name) const {
  auto value = doubleValue(name);
  if (!value) return std::nullopt;
  return wholeNumber(*value, name);
}

int64_t Arguments::requireInt(const std::string& name) const {
  if (auto value = optionalInt(name)) return *value;
  throw ToolError("Missing number " + quoted(name) + ".");
}

std::optional<uint32_t> Arguments::windowID() const {
  auto value = optionalInt("window_id");
  if (!value) return std::nullopt;
  if (*value < 0 || *value > 4294967295LL) {
    throw ToolError("\"window_id\" must be a window id between 0 and 4294967295, from get_app_state or list_apps.");
  }
  return static_cast<uint32_t>(*value);
}

std::optional<uint32_t> Arguments::validWindowID(const std::string& name) const {
  auto found = values_.find(name);
  if (found == values_.end()) return std::nullopt;
  auto value = number(*found);
  if (!value || !std::isfinite(*value) || *value != std::trunc(*value) || *value <= 0 || *value > 4294967295.0) {
    throw ToolError(name + " must be a positive window ID; no drag was started.");
  }
  return static_cast<uint32_t>(*value);
}

std::vector<std::pair<double, double>> Arguments::points(const std::string& name) const {
  auto found = values_.find(name);
  if (found == values_.end()) return {};
  const ToolError malformed(quoted(name) + " must be a list of [x, y] pairs.");
  if (!found->is_array()) throw malformed;
  std::vector<std::pair<double, double>> result;
  for (const auto& pair : *found) {
    if (!pair.is_array() || pair.size() != 2) throw malformed;
    auto x = number(pair[0]);
    auto y = number(pair[1]);
    if (!x || !y) throw malformed;
    result.emplace_back(*x, *y);
  }
  return result;
}
