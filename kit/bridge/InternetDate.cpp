#include "kit/bridge/InternetDate.hpp"

#include <cstdio>
#include <ctime>

namespace InternetDate {
namespace {

bool digits(std::string_view text, size_t from, size_t count) {
  if (from + count > text.size()) return false;
  for (size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

int number(std::string_view text, size_t from, size_t count) {
  int value = 0;
  for (size_t i = from; i < from + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

// "Z" or "+hh:mm"/"-hh:mm" at from, and nothing after it: the offset east of UTC in seconds.
std::optional<long> zoneOffset(std::string_view text, size_t from) {
  if (from + 1 == text.size() && (text[from] == 'Z' || text[from] == 'z')) return 0;
  if (from + 6 != text.size() || (text[from] != '+' && text[from] != '-') || text[from + 3] != ':' ||
      !digits(text, from + 1, 2) || !digits(text, from + 4, 2)) {
    return std::nullopt;
  }
  long offset = number(text, from + 1, 2) * 3600L + number(text, from + 4, 2) * 60L;
  return text[from] == '-' ? -offset : offset;
}

// The date and time of day, up to and including whole seconds (19 characters).
std::optional<std::tm> calendarTime(std::string_view text) {
  if (!digits(text, 0, 4) || text.size() < 19 || text[4] != '-' || !digits(text, 5, 2) || text[7] != '-' ||
      !digits(text, 8, 2) || (text[10] != 'T' && text[10] != 't') || !digits(text, 11, 2) || text[13] != ':' ||
      !digits(text, 14, 2) || text[16] != ':' || !digits(text, 17, 2)) {
    return std::nullopt;
  }
  std::tm time{};
  time.tm_year = number(text, 0, 4) - 1900;
  time.tm_mon = number(text, 5, 2) - 1;
  time.tm_mday = number(text, 8, 2);
  time.tm_hour = number(text, 11, 2);
  time.tm_min = number(text, 14, 2);
  time.tm_sec = number(text, 17, 2);
  if (time.tm_mon > 11 || time.tm_mday < 1 || time.tm_mday > 31 || time.tm_hour > 23 || time.tm_min > 59 ||
      time.tm_sec > 60) {
    return std::nullopt;
  }
  return time;
}

std::optional<Date> parseWithFraction(std::string_view text, bool withFraction) {
  auto time = calendarTime(text);
  if (!time) return std::nullopt;
  size_t position = 19;
  std::chrono::nanoseconds fraction{0};
  if (withFraction) {
    if (position >= text.size() || text[position] != '.') return std::nullopt;
    size_t start = ++position;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9') ++position;
    if (position == start) return std::nullopt;
    long long scaled = 0;
    for (size_t i = start; i < start + 9; ++i) scaled = scaled * 10 + (i < position ? text[i] - '0' : 0);
    fraction = std::chrono::nanoseconds(scaled);
  }
  auto offset = zoneOffset(text, position);
  if (!offset) return std::nullopt;
  const time_t seconds = timegm(&*time) - *offset;
  return std::chrono::time_point_cast<Date::duration>(std::chrono::system_clock::from_time_t(seconds) + fraction);
}

}  // namespace

std::optional<Date> parse(std::string_view text) {
  if (auto date = parseWithFraction(text, true)) return date;
  return parseWithFraction(text, false);
}

std::string format(Date date) {
  const auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count() % 1000;
  const time_t seconds = std::chrono::system_clock::to_time_t(date);
  std::tm time{};
  gmtime_r(&seconds, &time);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", time.tm_year + 1900, time.tm_mon + 1,
                time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec, static_cast<int>((milliseconds + 1000) % 1000));
  return text;
}

}  // namespace InternetDate
