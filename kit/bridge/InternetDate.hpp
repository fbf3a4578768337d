#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

using Date = std::chrono::system_clock::time_point;

// ISO 8601 internet date-times ("2026-12-06T10:15:30.250Z", "2026-12-06T12:15:30+02:00").
namespace InternetDate {

// Tried with fractional seconds first, then without; none when neither form fits.
std::optional<Date> parse(std::string_view text);

// The form the service host reads back: UTC with milliseconds.
std::string format(Date date);

}  // namespace InternetDate
