#pragma once
#include <atomic>
#include <exception>
#include <string>

// JSON POSTs over HTTP(S), through libcurl.
namespace HTTP {

struct Response {
  long status = 0;  // 0 when the peer sent no HTTP response
  std::string body;
};

// The request never completed: no connection, a time-out, a dropped connection.
struct TransportError : std::exception {
  TransportError(int code, std::string detail) : code(code), detail(std::move(detail)) {}
  const char* what() const noexcept override { return detail.c_str(); }
  int code;            // libcurl's error number
  std::string detail;  // libcurl's own wording, for the log
};

inline constexpr size_t maxBodyBytes = 64u << 20;

// POSTs body with "Content-Type: application/json". The transfer aborts after
// timeoutSeconds, or soon after *cancelled becomes true.
Response postJSON(const std::string& url, const std::string& body, double timeoutSeconds,
                  const std::atomic<bool>* cancelled = nullptr);

// origin and path joined by exactly one slash.
std::string joined(const std::string& origin, const std::string& path);

// The host part of a URL, or the URL itself when it has none.
std::string hostName(const std::string& url);

}  // namespace HTTP
