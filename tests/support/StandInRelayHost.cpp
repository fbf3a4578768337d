#include "tests/support/StandInRelayHost.hpp"

#include <arpa/inet.h>
#include <microhttpd.h>

#include <cstring>
#include <stdexcept>

namespace {

struct Upload {
  std::string body;
};

MHD_Result respond(MHD_Connection* connection, const StandInRelayHost::Answer& answer) {
  if (answer.status == 0) return MHD_NO;  // drops the connection without a response
  MHD_Response* response = MHD_create_response_from_buffer(answer.body.size(), const_cast<char*>(answer.body.data()),
                                                           MHD_RESPMEM_MUST_COPY);
  MHD_add_response_header(response, "Content-Type", "application/json");
  MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
  MHD_destroy_response(response);
  return queued;
}

MHD_Result handleRequest(void* context, MHD_Connection* connection, const char* url, const char*, const char*,
                         const char* data, size_t* size, void** state) {
  auto* host = static_cast<StandInRelayHost*>(context);
  if (*state == nullptr) {
    *state = new Upload;
    return MHD_YES;
  }
  auto* upload = static_cast<Upload*>(*state);
  if (*size != 0) {
    upload->body.append(data, *size);
    *size = 0;
    return MHD_YES;
  }
  std::string path = url;
  if (!path.empty() && path.front() == '/') path.erase(0, 1);
  return respond(connection, host->answer(path, upload->body));
}

void requestDone(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode) {
  delete static_cast<Upload*>(*state);
  *state = nullptr;
}

std::string text(const Json& value) { return JsonText::compact(value); }

}  // namespace

StandInRelayHost::StandInRelayHost() {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  daemon_ = MHD_start_daemon(MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD, 0,
                             nullptr, nullptr, &handleRequest, this, MHD_OPTION_SOCK_ADDR, &address,
                             MHD_OPTION_NOTIFY_COMPLETED, &requestDone, nullptr, MHD_OPTION_END);
  if (daemon_ == nullptr) throw std::runtime_error("the stand-in relay service could not listen");
  port_ = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT)->port;
}

StandInRelayHost::~StandInRelayHost() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
  }
  changed_.notify_all();
  MHD_stop_daemon(daemon_);
}

std::string StandInRelayHost::origin() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

void StandInRelayHost::send(const std::string& session, const Json& message) {
  {
    std::lock_guard guard(lock_);
    pending_.push_back({{"session", session}, {"message", message}});
  }
  changed_.notify_all();
}

void StandInRelayHost::close(const std::string& session) {
  {
    std::lock_guard guard(lock_);
    pending_.push_back({{"session", session}, {"closed", true}});
  }
  changed_.notify_all();
}

void StandInRelayHost::setCodeAnswer(Json answer) {
  std::lock_guard guard(lock_);
  codeAnswer_ = std::move(answer);
}

void StandInRelayHost::setConnections(Json connections) {
  std::lock_guard guard(lock_);
  connections_ = std::move(connections);
}

void StandInRelayHost::failPolls(std::vector<Fault> faults) {
  std::lock_guard guard(lock_);
  pollFaults_.insert(pollFaults_.end(), faults.begin(), faults.end());
}

void StandInRelayHost::failReplies(std::vector<Fault> faults) {
  std::lock_guard guard(lock_);
  replyFaults_.insert(replyFaults_.end(), faults.begin(), faults.end());
}

std::vector<Json> StandInRelayHost::calls(const std::string& path) {
  std::lock_guard guard(lock_);
  return calls_[path];
}

size_t StandInRelayHost::pollCount() {
  std::lock_guard guard(lock_);
  return calls_["api/bridge/poll"].size();
}

std::vector<Json> StandInRelayHost::waitForReplies(size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock guard(lock_);
  changed_.wait_for(guard, timeout, [&] { return replies_.size() >= count; });
  return replies_;
}

bool StandInRelayHost::waitForPolls(size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock guard(lock_);
  const size_t target = calls_["api/bridge/poll"].size() + count;
  return changed_.wait_for(guard, timeout, [&] { return calls_["api/bridge/poll"].size() >= target; });
}

std::optional<StandInRelayHost::Fault> StandInRelayHost::takeFault(std::deque<Fault>& faults) {
  if (faults.empty()) return std::nullopt;
  Fault fault = faults.front();
  faults.pop_front();
  return fault;
}

StandInRelayHost::Answer StandInRelayHost::faulty(Fault fault, std::unique_lock<std::mutex>& guard) {
  switch (fault) {
    case Fault::status500: return {500, R"({"error":"internal"})"};
    case Fault::status403: return {403, R"({"error":"forbidden"})"};
    case Fault::notJSON: return {200, "<html>maintenance</html>"};
    case Fault::drop: return {0, ""};
    case Fault::slow:
      changed_.wait_for(guard, std::chrono::duration<double>(slowSeconds), [this] { return stopping_; });
      return {200, R"({"messages":[],"connections":[]})"};
  }
  return {500, ""};
}

StandInRelayHost::Answer StandInRelayHost::poll(std::unique_lock<std::mutex>& guard) {
  changed_.wait_for(guard, std::chrono::duration<double>(pollHoldSeconds),
                    [this] { return stopping_ || !pending_.empty(); });
  Json messages = Json::array();
  while (!pending_.empty()) {
    messages.push_back(std::move(pending_.front()));
    pending_.pop_front();
  }
  return {200, text({{"messages", messages}, {"connections", connections_}})};
}

StandInRelayHost::Answer StandInRelayHost::answer(const std::string& path, const std::string& body) {
  std::unique_lock guard(lock_);
  Json parsed = JsonText::parse(body).value_or(Json());
  calls_[path].push_back(parsed);
  changed_.notify_all();
  if (path == "api/bridge/poll") {
    if (auto fault = takeFault(pollFaults_)) return faulty(*fault, guard);
    return poll(guard);
  }
  if (path == "api/bridge/reply") {
    if (auto fault = takeFault(replyFaults_)) return faulty(*fault, guard);
    replies_.push_back(parsed);
    changed_.notify_all();
    return {200, "{}"};
  }
  if (path == "api/bridge/code") return {200, text(codeAnswer_)};
  if (path == "api/bridge/revoke") {
    // Like the real service: the revoked connections are gone from the next poll.
    const Json id = parsed.value("connection", Json());
    Json kept = Json::array();
    for (const auto& connection : connections_) {
      if (id != "all" && connection.value("id", Json()) != id) kept.push_back(connection);
    }
    connections_ = std::move(kept);
    return {200, "{}"};
  }
  return {404, "{}"};
}
