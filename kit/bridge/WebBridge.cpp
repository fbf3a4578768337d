#include "kit/bridge/WebBridge.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <thread>

#include "kit/bridge/HTTPPost.hpp"
#include "kit/bridge/WebBridgeSecret.hpp"
#include "kit/common/BlockingQueue.hpp"
#include "kit/common/Log.hpp"
#include "kit/common/MainQueue.hpp"
#include "kit/common/Paths.hpp"
#include "kit/protocol/AgentSocket.hpp"
#include "kit/protocol/JsonRpc.hpp"
#include "kit/common/Lines.hpp"
#include "kit/common/ToolError.hpp"

namespace {

constexpr int replyAttempts = 3;

std::string describe(const std::exception& error) {
  if (auto* transport = dynamic_cast<const HTTP::TransportError*>(&error)) {
    return "network error " + std::to_string(transport->code);
  }
  return error.what();
}

void shutDownAll(const std::vector<std::shared_ptr<LocalSession>>& sessions) {
  for (const auto& session : sessions) session->shutDown();
}

// The lines of one session's socket, handed from its reader to its consumer in order.
// Lines the app wrote for one session; none once its socket has ended.
using ReplyQueue = BlockingQueue<std::optional<std::string>>;

}  // namespace

WebBridge::WebBridge(Options options) : options_(std::move(options)) {
  if (!options_.now) options_.now = [] { return std::chrono::system_clock::now(); };
  if (!options_.postOnMain) options_.postOnMain = [](std::function<void()> work) { MainQueue::shared().post(work); };
}

WebBridge::~WebBridge() { refusals_->push(std::nullopt); }  // ends the refusal thread

std::shared_ptr<WebBridge> WebBridge::make(Options options) {
  return std::shared_ptr<WebBridge>(new WebBridge(std::move(options)));
}

WebBridge::Options WebBridge::userOptions() {
  Options options;
  options.settings = SettingsFile::user();
  if (const char* url = std::getenv("TARNWICK_RELAY_URL"); url != nullptr && *url != '\0') {
    options.origin = url;
  } else {
    options.origin = options.settings.stringValue(relayURLKey);
  }
  options.secretDirectory = Paths::stateDirectory();
  options.socketPath = AgentSocket::path();
  return options;
}

const std::shared_ptr<WebBridge>& WebBridge::shared() {
  static const std::shared_ptr<WebBridge> bridge = make(userOptions());
  return bridge;
}

bool WebBridge::isEnabled() const {
  // A read that fails (no descriptors left, a file being replaced) keeps the last known
  // value, so the bridge never switches itself off.
  if (auto settings = options_.settings.read()) {
    auto found = settings->find(enabledKey);
    lastKnownEnabled_ = found != settings->end() && found->is_boolean() && found->get<bool>();
  }
  return lastKnownEnabled_;
}

void WebBridge::setEnabled(bool enabled) {
  if (isEnabled() == enabled) return;
  options_.settings.set(enabledKey, enabled);
  postChanged();
}

void WebBridge::observe(std::function<void()> onChange) {
  std::lock_guard guard(lock_);
  observers_.push_back(std::move(onChange));
}

void WebBridge::postChanged() {
  std::vector<std::function<void()>> observers;
  {
    std::lock_guard guard(lock_);
    observers = observers_;
  }
  options_.postOnMain([observers] {
    for (const auto& observer : observers) observer();
  });
}

bool WebBridge::isRunning() const {
  std::lock_guard guard(lock_);
  return pollTask_ != nullptr;
}

bool WebBridge::needsSetup() const {
  std::lock_guard guard(lock_);
  return secretRefused_;
}

bool WebBridge::hasActiveSession() const {
  std::lock_guard guard(lock_);
  return !sessions_.empty();
}

std::vector<WebBridge::Connection> WebBridge::connections() const {
  std::lock_guard guard(lock_);
  return knownConnections_;
}

WebBridgeServer WebBridge::apiLocked() {
  if (server_) return *server_;
  if (!options_.origin) {
    throw ToolError("No relay service is configured. Set TARNWICK_RELAY_URL or \"" + std::string(relayURLKey) +
                    "\" in " + options_.settings.path() + ".");
  }
  server_.emplace(*options_.origin, WebBridgeSecret::deviceID(options_.secretDirectory),
                  WebBridgeSecret::secret(options_.secretDirectory), options_.timeouts);
  return *server_;
}

WebBridgeServer WebBridge::api() {
  std::lock_guard guard(lock_);
  return apiLocked();
}

void WebBridge::start() {
  std::lock_guard guard(lock_);
  if (pollTask_ || secretRefused_) return;
  if (!options_.origin) {
    Log::error(Log::webBridge, "Web bridge not started: no relay service is configured");
    return;
  }
  auto task = std::make_shared<PollTask>();
  pollTask_ = task;
  std::thread([self = shared_from_this(), task] { self->pollLoop(task); }).detach();
  Log::info(Log::webBridge, "Web bridge started");
}

void WebBridge::stop() {
  std::vector<std::shared_ptr<LocalSession>> taken;
  bool changed;
  {
    std::lock_guard guard(lock_);
    changed = pollTask_ || !sessions_.empty() || !knownConnections_.empty();
    if (pollTask_) pollTask_->cancelled = true;
    pollTask_.reset();
    for (auto& [id, session] : sessions_) taken.push_back(session);
    sessions_.clear();
    knownConnections_.clear();
    ++stops_;
  }
  stopped_.notify_all();
  shutDownAll(taken);
  // Stopping a stopped bridge changes nothing; posting then would loop through the
  // app's observer, which calls stop() again on every change.
  if (!changed) return;
  Log::info(Log::webBridge, "Web bridge stopped");
  postChanged();
}

void WebBridge::interruptibleSleep(double seconds) {
  if (options_.sleep) return options_.sleep(seconds);
  std::unique_lock guard(lock_);
  const uint64_t stops = stops_;
  stopped_.wait_for(guard, std::chrono::duration<double>(seconds), [&] { return stops_ != stops; });
}

void WebBridge::pollLoop(const std::shared_ptr<PollTask>& task) {
  int failures = 0;
  while (!task->cancelled) {
    std::string error;
    try {
      auto answer = api().poll(&task->cancelled);
      handle(answer, task);
      failures = 0;
      continue;
    } catch (const WebBridgeServer::Refusal& refusal) {
      if (refusal.status == 403) return refuseSecret(task);
      error = describe(refusal);
    } catch (const std::exception& failure) {
      error = describe(failure);
    }
    if (task->cancelled) return;
    ++failures;
    const double delay = std::min(std::pow(2.0, std::min(failures, 6)), 60.0);
    Log::error(Log::webBridge, "Web bridge poll failed (" + error + "); next try in " +
                                   std::to_string(static_cast<long>(delay)) + "s");
    interruptibleSleep(delay);
  }
}

void WebBridge::handle(const WebBridgeServer::PollAnswer& answer, const std::shared_ptr<PollTask>& task) {
  for (const auto& item : answer.items) {
    if (!item.isClosing()) {
      deliver(item.session, *item.message, task);
      continue;
    }
    std::shared_ptr<LocalSession> session;
    {
      std::lock_guard guard(lock_);
      if (auto found = sessions_.find(item.session); found != sessions_.end()) session = found->second;
    }
    if (session) session->shutDown();
  }

  std::vector<std::shared_ptr<LocalSession>> idle;
  {
    std::lock_guard guard(lock_);
    const Date cutoff = options_.now() - std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(idleSeconds));
    for (const auto& [id, session] : sessions_) {
      if (session->lastMessage <= cutoff) idle.push_back(session);
    }
  }
  shutDownAll(idle);

  bool changed = false;
  {
    std::lock_guard guard(lock_);
    if (!task->cancelled && answer.connections != knownConnections_) {
      knownConnections_ = answer.connections;
      changed = true;
    }
  }
  if (changed) postChanged();
}

std::shared_ptr<LocalSession> WebBridge::openSession(const std::string& sessionID) {
  auto fd = AgentSocket::connect(options_.socketPath);
  if (!fd) return nullptr;
  auto session = std::make_shared<LocalSession>(*fd, options_.now());
  sessions_[sessionID] = session;
  return session;
}

void WebBridge::deliver(const std::string& sessionID, const std::string& message,
                        const std::shared_ptr<PollTask>& task) {
  std::shared_ptr<LocalSession> session;
  bool opened = false;
  size_t open = 0;
  {
    std::lock_guard guard(lock_);
    if (task->cancelled) return;
    if (auto found = sessions_.find(sessionID); found != sessions_.end()) {
      session = found->second;
      session->lastMessage = options_.now();
    } else if (sessions_.size() < maxSessions) {
      session = openSession(sessionID);
      opened = session != nullptr;
    }
    open = sessions_.size();
  }
  if (!session) {
    Log::error(Log::webBridge, open >= maxSessions ? "Web session refused: " + std::to_string(open) + " are open"
                                                   : std::string("Web session could not reach the agent socket"));
    return refuse(sessionID, message);
  }
  if (opened) {
    Log::info(Log::webBridge, "Web session opened (" + std::to_string(open) + " open)");
    postChanged();
    serveReplies(sessionID, session);
  }
  bool written = false;
  {
    std::lock_guard guard(session->lock);
    if (!session->released) written = Lines::write(session->fd, message);
  }
  if (!written) {
    session->shutDown();
    refuse(sessionID, message);
  }
}

void WebBridge::serveReplies(const std::string& sessionID, const std::shared_ptr<LocalSession>& session) {
  auto queue = std::make_shared<ReplyQueue>();
  // The reader never waits on the service host, so the app's writes never stall.
  std::thread([session, queue] {
    LineReader reader(session->fd);
    while (auto line = reader.next()) queue->push(std::move(line));
    queue->push(std::nullopt);
  }).detach();
  std::thread([self = shared_from_this(), sessionID, session, queue] {
    while (auto line = queue->pop()) self->postReply(sessionID, *line);
    self->release(sessionID, session);
  }).detach();
}

void WebBridge::release(const std::string& sessionID, const std::shared_ptr<LocalSession>& session) {
  {
    std::lock_guard guard(session->lock);
    session->released = true;
    close(session->fd);
  }
  size_t open;
  {
    std::lock_guard guard(lock_);
    if (auto found = sessions_.find(sessionID); found != sessions_.end() && found->second == session) {
      sessions_.erase(found);
    }
    open = sessions_.size();
  }
  Log::info(Log::webBridge, "Web session closed (" + std::to_string(open) + " open)");
  postChanged();
}

void WebBridge::refuse(const std::string& sessionID, const std::string& message) {
  auto id = JsonRpc::requestID(message);
  if (!id) return;
  const std::string answer = JsonRpc::answer(*id, "error", {{"code", -32000}, {"message", refusedRequest}});
  // One thread posts every refusal, however many arrive at once.
  std::call_once(refusalsStarted_, [this] {
    std::thread([self = weak_from_this(), refusals = refusals_] {
      while (auto refusal = refusals->pop()) {
        if (auto bridge = self.lock()) bridge->postReply(refusal->first, refusal->second);
      }
    }).detach();
  });
  refusals_->push(std::pair(sessionID, answer));
}

void WebBridge::postReply(const std::string& sessionID, const std::string& line) {
  auto message = JsonText::parse(line);
  if (!message) return;
  for (int attempt = 1;; ++attempt) {
    try {
      api().reply(sessionID, *message);
      return;
    } catch (const std::exception& error) {
      if (attempt >= replyAttempts) {
        Log::error(Log::webBridge, "Web reply lost (" + describe(error) + ")");
        return;
      }
    }
    interruptibleSleep(attempt);
  }
}

void WebBridge::refuseSecret(const std::shared_ptr<PollTask>& task) {
  std::vector<std::shared_ptr<LocalSession>> taken;
  {
    std::lock_guard guard(lock_);
    if (task->cancelled) return;
    secretRefused_ = true;
    pollTask_.reset();
    for (auto& [id, session] : sessions_) taken.push_back(session);
    sessions_.clear();
    knownConnections_.clear();
  }
  shutDownAll(taken);
  Log::error(Log::webBridge, "Web bridge secret refused; polling stopped until a new code is requested");
  postChanged();
}

WebBridge::Code WebBridge::requestCode() {
  Code code = api().requestCode();
  bool wasRefused;
  {
    std::lock_guard guard(lock_);
    wasRefused = secretRefused_;
    secretRefused_ = false;
  }
  if (wasRefused) {
    Log::info(Log::webBridge, "Web bridge set up again");
    postChanged();
  }
  return code;
}

void WebBridge::revoke(const std::string& id) {
  api().revoke(id);
  {
    std::lock_guard guard(lock_);
    if (id == "all") {
      knownConnections_.clear();
    } else {
      std::erase_if(knownConnections_, [&](const Connection& connection) { return connection.id == id; });
    }
  }
  postChanged();
}
