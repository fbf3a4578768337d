#include "kit/bridge/HTTPPost.hpp"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace HTTP {
namespace {

void initialiseOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
  std::string body;
  const std::atomic<bool>* cancelled;
  bool overflowed = false;
};

size_t appendBody(char* data, size_t size, size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  size_t bytes = size * count;
  if (transfer->body.size() + bytes > maxBodyBytes) {
    transfer->overflowed = true;
    return 0;
  }
  transfer->body.append(data, bytes);
  return bytes;
}

int checkCancelled(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* transfer = static_cast<Transfer*>(context);
  return transfer->cancelled != nullptr && transfer->cancelled->load() ? 1 : 0;
}

using Easy = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using Headers = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

}  // namespace

Response postJSON(const std::string& url, const std::string& body, double timeoutSeconds,
                  const std::atomic<bool>* cancelled) {
  initialiseOnce();
  Easy easy(curl_easy_init(), curl_easy_cleanup);
  if (!easy) throw TransportError(CURLE_FAILED_INIT, "could not start a transfer");
  Headers headers(curl_slist_append(nullptr, "Content-Type: application/json"), curl_slist_free_all);
  Transfer transfer{{}, cancelled};
  CURL* handle = easy.get();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutSeconds * 1000));
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);  // many threads; no SIGALRM for name look-ups
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, appendBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, checkCancelled);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
  CURLcode result = curl_easy_perform(handle);
  if (result != CURLE_OK && !transfer.overflowed) throw TransportError(result, curl_easy_strerror(result));
  Response response;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
  // An oversized body is kept empty, which no caller reads as a JSON object.
  if (!transfer.overflowed) response.body = std::move(transfer.body);
  return response;
}

std::string joined(const std::string& origin, const std::string& path) {
  if (!origin.empty() && origin.back() == '/') return origin + path;
  return origin + "/" + path;
}

std::string hostName(const std::string& url) {
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), curl_url_cleanup);
  char* host = nullptr;
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
      curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK || host == nullptr) {
    return url;
  }
  std::string name = host;
  curl_free(host);
  return name;
}

}  // namespace HTTP
