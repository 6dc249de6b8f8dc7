#include "relayd/conference_log.h"

#include <hiredis/hiredis.h>

#include <charconv>
#include <optional>
#include <type_traits>

namespace scribly {

// The function library, conference_log.lua, built into the program.
extern const char kConferenceLogLua[];

namespace {

struct ReplyFree {
  void operator()(redisReply* r) const { freeReplyObject(r); }
};
using ReplyPtr = std::unique_ptr<redisReply, ReplyFree>;

constexpr size_t kMaxFields = 16;

bool scalar(const redisReply* r, std::string& out) {
  switch (r->type) {
    case REDIS_REPLY_STRING:
    case REDIS_REPLY_STATUS:
      out.assign(r->str, r->len);
      return true;
    case REDIS_REPLY_INTEGER:
      out = std::to_string(r->integer);
      return true;
    default:
      return false;
  }
}

template <class T>
bool number(const std::string& s, T& out) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc{} && end == s.data() + s.size();
}

template <class V, class T>
constexpr bool kHas = false;
template <class T, class... A>
constexpr bool kHas<std::variant<A...>, T> = (std::is_same_v<T, A> || ...);

// Turns an answer into Result: "OK" with exactly okFields fields through
// makeOk (nullopt when a field is malformed), the other words into their own
// alternatives where Result has them, anything else into Failed.
template <class Result, class MakeOk>
Result answer(const RedisConnection::Fields& f, size_t okFields, MakeOk makeOk) {
  if (!f.ok) return Failed{f.error};
  if (f.values.empty()) return Failed{"empty answer"};
  const std::string& word = f.values[0];
  const size_t n = f.values.size();
  if (word == "OK" && n == okFields) {
    if (auto ok = makeOk(f.values)) return *ok;
    return Failed{"malformed answer"};
  }
  if constexpr (kHas<Result, Dup>) {
    if (word == "DUP" && n == 1) return Dup{};
  }
  if constexpr (kHas<Result, Fenced>) {
    if (word == "FENCED" && n == 1) return Fenced{};
  }
  if constexpr (kHas<Result, Gap>) {
    Gap gap;
    if (word == "GAP" && n == 2 && number(f.values[1], gap.lastSeq)) return gap;
  }
  if constexpr (kHas<Result, Refused>) {
    if (word == "REFUSED" && n == 2) return Refused{f.values[1]};
  }
  if constexpr (kHas<Result, NoRange>) {
    if (word == "NONE" && n == 2) return NoRange{f.values[1]};
  }
  return Failed{"unexpected answer " + word.substr(0, 32)};
}

bool validConference(std::string_view c) {
  if (c.empty() || c.size() > 64) return false;
  for (char ch : c) {
    const bool ok = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                    (ch >= '0' && ch <= '9') || ch == '_' || ch == '-';
    if (!ok) return false;
  }
  return true;
}

std::string_view bytes(std::span<const uint8_t> b) {
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}

}  // namespace

std::unique_ptr<RedisConnection> RedisConnection::open(const std::string& host, int port,
                                                       std::string* error) {
  const timeval timeout{2, 0};
  redisContext* context = redisConnectWithTimeout(host.c_str(), port, timeout);
  if (!context || context->err) {
    *error = context ? context->errstr : "out of memory";
    if (context) redisFree(context);
    return nullptr;
  }
  std::unique_ptr<RedisConnection> redis(new RedisConnection(context));
  // A server that stops answering fails the call instead of hanging it.
  if (redisSetTimeout(context, timeout) != REDIS_OK) {
    *error = "cannot set the timeout";
    return nullptr;
  }
  const Fields loaded = redis->call({"FUNCTION", "LOAD", "REPLACE", kConferenceLogLua});
  if (!loaded.ok) {
    *error = "loading the functions: " + loaded.error;
    return nullptr;
  }
  return redis;
}

RedisConnection::~RedisConnection() { redisFree(context_); }

RedisConnection::Fields RedisConnection::call(const std::vector<std::string_view>& args) {
  std::vector<const char*> argv;
  std::vector<size_t> lengths;
  for (std::string_view a : args) {
    argv.push_back(a.data());
    lengths.push_back(a.size());
  }
  Fields f;
  ReplyPtr reply(static_cast<redisReply*>(
      redisCommandArgv(context_, static_cast<int>(argv.size()), argv.data(), lengths.data())));
  if (!reply) {
    f.error = context_->err ? context_->errstr : "no reply";
    return f;
  }
  if (reply->type == REDIS_REPLY_ERROR) {
    f.error.assign(reply->str, reply->len);
    return f;
  }
  if (reply->type == REDIS_REPLY_ARRAY) {
    if (reply->elements > kMaxFields) {
      f.error = "answer too long";
      return f;
    }
    f.values.resize(reply->elements);
    for (size_t i = 0; i < reply->elements; ++i) {
      if (!scalar(reply->element[i], f.values[i])) {
        f.error = "answer of an unexpected shape";
        f.values.clear();
        return f;
      }
    }
  } else {
    f.values.resize(1);
    if (!scalar(reply.get(), f.values[0])) {
      f.error = "answer of an unexpected shape";
      f.values.clear();
      return f;
    }
  }
  f.ok = true;
  return f;
}

ConferenceLog::ConferenceLog(RedisConnection& redis, std::string_view conference,
                             ConferenceLogLimits limits)
    : redis_(redis), limits_(limits) {
  if (validConference(conference)) prefix_ = "conf:{" + std::string(conference) + "}:";
}

RedisConnection::Fields ConferenceLog::fcall(std::string_view function,
                                             std::vector<std::string> keys,
                                             std::vector<std::string> args) {
  if (!valid()) return {false, "no such conference", {}};
  const std::string count = std::to_string(keys.size());
  std::vector<std::string_view> argv{"FCALL", function, count};
  for (const std::string& k : keys) argv.push_back(k);
  for (const std::string& a : args) argv.push_back(a);
  return redis_.call(argv);
}

JoinResult ConferenceLog::join(uint32_t user, std::string_view node, std::string_view secretHash,
                               bool resume) {
  const auto f = fcall("join", {key("sess"), key("epoch"), key("in")},
                       {std::to_string(user), std::string(node), std::string(secretHash),
                        resume ? "1" : "0", std::to_string(limits_.maxInputEntries)});
  return answer<JoinResult>(f, 4, [](const std::vector<std::string>& v) -> std::optional<Joined> {
    Joined j{v[1]};
    if (!number(v[2], j.epoch) || !number(v[3], j.lastSeq)) return std::nullopt;
    return j;
  });
}

LeaveResult ConferenceLog::leave(uint32_t user, uint64_t epoch) {
  const auto f =
      fcall("leave", {key("sess"), key("in")},
            {std::to_string(user), std::to_string(epoch), std::to_string(limits_.maxInputEntries)});
  return answer<LeaveResult>(f, 2, [](const std::vector<std::string>& v) {
    return std::optional<Written>(Written{v[1]});
  });
}

AppendResult ConferenceLog::append(uint32_t user, uint64_t epoch, uint64_t seq,
                                   std::span<const uint8_t> message) {
  const auto f = fcall("append", {key("in"), key("sess"), key("owner")},
                       {std::to_string(user), std::to_string(epoch), std::to_string(seq),
                        std::string(bytes(message)), std::to_string(limits_.maxInputEntries)});
  return answer<AppendResult>(f, 3,
                              [](const std::vector<std::string>& v) -> std::optional<Appended> {
                                if (v[2] != "0" && v[2] != "1") return std::nullopt;
                                return Appended{v[1], v[2] == "1"};
                              });
}

GrantResult ConferenceLog::grant(uint32_t user, uint64_t epoch, uint64_t seq) {
  const auto f =
      fcall("grant", {key("nextid"), key("grants"), key("in"), key("sess")},
            {std::to_string(user), std::to_string(epoch), std::to_string(seq),
             std::to_string(limits_.grantSize), std::to_string(limits_.maxGrantsPerUser),
             std::to_string(limits_.lastGrantedId), std::to_string(limits_.maxInputEntries)});
  return answer<GrantResult>(f, 4, [](const std::vector<std::string>& v) -> std::optional<Granted> {
    Granted g{v[1]};
    if (!number(v[2], g.start) || !number(v[3], g.end) || g.start >= g.end) return std::nullopt;
    return g;
  });
}

ClaimResult ConferenceLog::claim(std::string_view node, uint32_t ttlMs) {
  const auto f =
      fcall("claim", {key("owner"), key("epoch")}, {std::string(node), std::to_string(ttlMs)});
  return answer<ClaimResult>(f, 2, [](const std::vector<std::string>& v) {
    return std::optional<Claimed>(Claimed{v[1]});
  });
}

RenewResult ConferenceLog::renew(std::string_view token, uint32_t ttlMs) {
  const auto f = fcall("renew", {key("owner")}, {std::string(token), std::to_string(ttlMs)});
  return answer<RenewResult>(f, 1, [](const std::vector<std::string>&) {
    return std::optional<std::monostate>(std::monostate{});
  });
}

EmitResult ConferenceLog::emit(std::string_view token, std::string_view sourceId, uint32_t part,
                               uint32_t parts, std::span<const uint8_t> deliveries) {
  const auto f =
      fcall("emit", {key("owner"), key("outpos"), key("out")},
            {std::string(token), std::string(sourceId), std::to_string(part), std::to_string(parts),
             std::string(bytes(deliveries)), std::to_string(limits_.maxOutputEntries)});
  return answer<EmitResult>(f, 2, [](const std::vector<std::string>& v) {
    return std::optional<Written>(Written{v[1]});
  });
}

}  // namespace scribly
