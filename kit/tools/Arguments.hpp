#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kit/common/Json.hpp"

// A read-only view of a tool call's arguments with the coercions agents rely on:
// numbers as numeric text, true and false as 1 and 0, empty text as absent.
class Arguments {
 public:
  explicit Arguments(Json object) : values_(object.is_object() ? std::move(object) : Json::object()) {}

  std::optional<std::string> optionalString(const std::string& name) const;
  std::string string(const std::string& name) const;
  std::optional<double> doubleValue(const std::string& name) const;
  int64_t requireInt(const std::string& name) const;
  // doubleValue truncated toward zero; none when absent; fails for values no integer can hold.
  std::optional<int64_t> optionalInt(const std::string& name) const;
  std::optional<uint32_t> windowID() const;
  std::optional<uint32_t> validWindowID(const std::string& name) const;
  std::vector<std::pair<double, double>> points(const std::string& name) const;
  bool has(const std::string& name) const { return values_.contains(name); }

  // The arguments that name where an input action goes, read in the order every tool
  // reads them: app and window_id; with a spot also element_index, x and y.
  struct Place {
    std::string app;
    std::optional<uint32_t> windowID;
  };
  struct Spot {
    std::optional<int64_t> elementIndex;
    std::optional<double> x;
    std::optional<double> y;
  };
  Place place() const { return {string("app"), windowID()}; }
  Spot spot() const { return {optionalInt("element_index"), doubleValue("x"), doubleValue("y")}; }

  static std::optional<double> number(const Json& value);

 private:
  Json values_;
};
