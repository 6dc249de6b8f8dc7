#pragma once
// The edge's insides, shared by the files that hold its parts: the sessions
// and their state (edge.cpp), joining (edge_join.cpp), appending
// (edge_appends.cpp) and the fan-out of the output logs (edge_fanout.cpp).
// Everything but the Redis threads runs on the io_context's thread.
#include <asio.hpp>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "net/frame.h"
#include "relayd/edge.h"
#include "relayd/edge_streams.h"
#include "relayd/redis_worker.h"

namespace scribly {
namespace edge {

using Clock = std::chrono::steady_clock;
using asio::ip::tcp;

constexpr size_t kReadBytes = 64 * 1024;

inline std::string outKey(const std::string& conference) { return "conf:{" + conference + "}:out"; }

enum class Exit : uint8_t {
  kQuiet,  // no leave: fenced, refused before joining, or the node stops
  kGrace,  // the link was lost: leave unless it resumes in time
  kNow,    // BYE or a session that cannot go on
};

struct Session {
  explicit Session(tcp::socket s) : socket(std::move(s)) {}
  enum class State : uint8_t { kHello, kJoining, kLive, kClosed };

  tcp::socket socket;
  uint64_t id = 0;
  State state = State::kHello;
  Clock::time_point started, lastReceived, lastSent, lastPing;

  net::FrameDecoder decoder;
  std::vector<uint8_t> in = std::vector<uint8_t>(kReadBytes);
  size_t inPos = 0;
  size_t inEnd = 0;
  bool reading = false;
  std::vector<uint8_t> pending;  // frames not yet handed to the socket
  std::vector<uint8_t> writing;  // frames the socket is writing
  bool closing = false;          // close once the last frames are written

  std::string conference;
  uint32_t user = 0;
  uint64_t epoch = 0;  // nonzero once joined
  size_t worker = 0;
  size_t inFlight = 0;
  std::deque<bool> queuedFlags;  // of the appends in flight, oldest first

  net::OutId pos;          // the last output entry this session was given
  net::OutId joinSource;   // no output of earlier input entries reaches it
  bool following = false;  // takes entries from the conference's shared read
  bool ranging = false;    // an XRANGE of its own is under way
  int emptyRanges = 0;

  size_t queued() const { return pending.size() + writing.size(); }
};
using SessionPtr = std::shared_ptr<Session>;

struct Conference {
  std::set<SessionPtr> sessions;
  net::OutId feedPos;       // the shared read's position
  bool dispatched = false;  // feedPos is an entry the shared read handed out
  Clock::time_point ensuredAt;
  bool ensuring = false;  // an ensureOwner call is under way
};

struct PendingLeave {
  std::string conference;
  uint32_t user;
  uint64_t epoch;
  int tries = 0;
};

struct JoinOutcome {
  enum Kind : uint8_t { kJoined, kNoSession, kFull, kUnavailable, kReset } kind = kUnavailable;
  Joined joined;
  net::OutId start;       // where its output begins (exclusive)
  net::OutId joinSource;  // no output of earlier input entries
  net::OutId feedStart;   // the log's last id before the join
};

enum class AppendOutcome : uint8_t { kAck, kFenced, kGap, kFailed };

struct AppendJob {
  SessionPtr s;
  std::string conference;
  uint32_t user = 0;
  uint64_t epoch = 0;
  uint64_t seq = 0;
  std::vector<uint8_t> message;
};
struct AppendQueue {
  std::mutex mutex;
  std::vector<AppendJob> jobs;
  bool posted = false;  // a batch job is on its way to the worker
};
struct AppendDone {
  SessionPtr s;
  uint64_t seq = 0;
  AppendOutcome outcome = AppendOutcome::kFailed;
  bool ownerMissing = false;
};

}  // namespace edge

struct Edge::Impl : std::enable_shared_from_this<Impl> {
  using Session = edge::Session;
  using SessionPtr = edge::SessionPtr;
  using Conference = edge::Conference;
  using Exit = edge::Exit;
  using Links = edge::Links;
  using Clock = edge::Clock;

  Impl(asio::io_context& io, EdgeOptions options, const TokenVerifier& tokens,
       std::function<void(const std::string&)> ensureOwner);
  ~Impl();

  // Accepting and the periodic checks (edge.cpp).
  void accept();
  void admit(edge::tcp::socket socket);
  void tick();
  void onTick();
  void requestEnsure(const std::string& name, Conference& c);

  // Reading and writing (edge.cpp).
  void startRead(const SessionPtr& s);
  void processInput(const SessionPtr& s);
  void handle(const SessionPtr& s, net::Frame frame);
  bool send(const SessionPtr& s, const net::Frame& frame);
  void flush(const SessionPtr& s);
  void shut(const SessionPtr& s);

  // Ending sessions (edge.cpp).
  void fail(const SessionPtr& s, uint16_t code, const std::string& why, Exit exit);
  void close(const SessionPtr& s, Exit exit);
  void leave(const std::string& conference, uint32_t user, uint64_t epoch, int tries = 0);
  size_t workerIndex(const std::string& conference) const;
  edge::RedisWorker& workerFor(const std::string& conference);

  // Joining (edge_join.cpp).
  void onHello(const SessionPtr& s, net::Hello hello);
  void onJoined(const SessionPtr& s, const net::SessionSecret& secret, const edge::JoinOutcome& o,
                bool resumed);

  // Appending (edge_appends.cpp).
  void onUp(const SessionPtr& s, net::Up up);
  void writeAppends(size_t w, Links* l);
  void onAppended(const SessionPtr& s, uint64_t seq, edge::AppendOutcome outcome,
                  bool ownerMissing);

  // The fan-out (edge_fanout.cpp).
  bool deliver(const SessionPtr& s, const EdgeEntry& e);
  void catchUp(const SessionPtr& s);
  void onRange(const SessionPtr& s, bool ok, const std::vector<EdgeEntry>& entries);
  void follow(const std::string& conference, net::OutId from);
  void readFeed();
  void onFeed(const std::map<std::string, std::vector<EdgeEntry>>& batch);

  asio::io_context& io;
  EdgeOptions options;
  const TokenVerifier& tokens;
  std::function<void(const std::string&)> ensureOwner;
  edge::tcp::acceptor acceptor;
  asio::steady_timer ticker;
  bool stopped = false;
  // [0] the heartbeat, [1] owner checks (which may take a while), then sessions.
  std::vector<std::unique_ptr<edge::RedisWorker>> workers;
  // Appends wait here, one queue per worker, for the worker's next batch.
  std::vector<std::unique_ptr<edge::AppendQueue>> appendQueues;

  std::map<uint64_t, SessionPtr> sessions;
  std::map<std::string, Conference> conferences;
  std::multimap<Clock::time_point, edge::PendingLeave> leaves;
  uint64_t lastSessionId = 0;
  uint64_t pingNonce = 0;
  Clock::time_point heartbeatAt;

  std::mutex feedMutex;
  std::condition_variable feedWake;
  std::map<std::string, net::OutId> feed;  // conference -> shared read position
  bool batchOut = false;                   // a read waits for the io thread
  bool feedStop = false;
  std::thread reader;
};

}  // namespace scribly
