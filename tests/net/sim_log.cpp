#include "tests/net/sim_log.h"

#include <hiredis/hiredis.h>

#include <algorithm>
#include <charconv>
#include <span>

#include "relayd/edge_streams.h"

namespace scribly::sim {
namespace {

struct ReplyFree {
  void operator()(redisReply* r) const { freeReplyObject(r); }
};
using Reply = std::unique_ptr<redisReply, ReplyFree>;

Reply command(redisContext* c, const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  std::vector<size_t> lengths;
  for (const std::string& a : args) {
    argv.push_back(a.data());
    lengths.push_back(a.size());
  }
  return Reply(static_cast<redisReply*>(
      redisCommandArgv(c, static_cast<int>(argv.size()), argv.data(), lengths.data())));
}

std::string text(const redisReply* r) {
  return r && (r->type == REDIS_REPLY_STRING || r->type == REDIS_REPLY_STATUS)
             ? std::string(r->str, r->len)
             : std::string();
}

template <class T>
bool number(const std::string& s, T& out) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc{} && end == s.data() + s.size() && !s.empty();
}

std::vector<StreamEntry> entries(const redisReply* r) {
  std::vector<StreamEntry> out;
  if (!r || r->type != REDIS_REPLY_ARRAY) return out;
  for (size_t i = 0; i < r->elements; ++i) {
    const redisReply* e = r->element[i];
    if (e->type != REDIS_REPLY_ARRAY || e->elements != 2) continue;
    const auto id = parseOutId(text(e->element[0]));
    const redisReply* f = e->element[1];
    if (!id || f->type != REDIS_REPLY_ARRAY) continue;
    StreamEntry entry{*id, {}};
    for (size_t k = 0; k + 1 < f->elements; k += 2)
      entry.fields[text(f->element[k])] = text(f->element[k + 1]);
    out.push_back(std::move(entry));
  }
  return out;
}

std::optional<uint32_t> field(const StreamEntry& e, const char* name) {
  const auto it = e.fields.find(name);
  uint32_t value = 0;
  if (it == e.fields.end() || !number(it->second, value)) return std::nullopt;
  return value;
}

}  // namespace

std::string confKey(const std::string& conference, const char* name) {
  return "conf:{" + conference + "}:" + name;
}

namespace {

redisContext* connect(const std::string& address, std::string* error) {
  const size_t colon = address.rfind(':');
  int port = 0;
  if (colon == std::string::npos || !number(address.substr(colon + 1), port)) {
    *error = "not HOST:PORT: " + address;
    return nullptr;
  }
  const timeval timeout{5, 0};
  redisContext* c = redisConnectWithTimeout(address.substr(0, colon).c_str(), port, timeout);
  if (!c || c->err) {
    *error = c ? c->errstr : "out of memory";
    if (c) redisFree(c);
    return nullptr;
  }
  redisSetTimeout(c, timeout);
  return c;
}

}  // namespace

std::unique_ptr<RedisReader> RedisReader::open(const std::string& address, std::string* error) {
  redisContext* c = connect(address, error);
  return c ? std::unique_ptr<RedisReader>(new RedisReader(c, address)) : nullptr;
}

RedisReader::~RedisReader() { redisFree(context_); }

redisContext* RedisReader::context() {
  if (context_->err) {
    std::string error;
    if (redisContext* c = connect(address_, &error)) {
      redisFree(context_);
      context_ = c;
    }
  }
  return context_;
}

std::vector<StreamEntry> RedisReader::range(const std::string& key, std::optional<net::OutId> after,
                                            size_t count) {
  const Reply r = command(context(), {"XRANGE", key, after ? "(" + formatOutId(*after) : "-", "+",
                                      "COUNT", std::to_string(count)});
  return entries(r.get());
}

std::vector<StreamEntry> RedisReader::all(const std::string& key) {
  std::vector<StreamEntry> out;
  for (;;) {
    auto more = range(key, out.empty() ? std::nullopt : std::optional(out.back().id));
    if (more.empty()) return out;
    std::move(more.begin(), more.end(), std::back_inserter(out));
  }
}

std::optional<StreamEntry> RedisReader::last(const std::string& key) {
  const Reply r = command(context(), {"XREVRANGE", key, "+", "-", "COUNT", "1"});
  auto e = entries(r.get());
  if (e.empty()) return std::nullopt;
  return std::move(e.front());
}

long long RedisReader::length(const std::string& key) {
  const Reply r = command(context(), {"XLEN", key});
  return r && r->type == REDIS_REPLY_INTEGER ? r->integer : -1;
}

std::optional<std::string> RedisReader::get(const std::string& key) {
  const Reply r = command(context(), {"GET", key});
  if (!r || r->type != REDIS_REPLY_STRING) return std::nullopt;
  return text(r.get());
}

std::map<std::string, std::string> RedisReader::hash(const std::string& key) {
  const Reply r = command(context(), {"HGETALL", key});
  std::map<std::string, std::string> out;
  if (r && r->type == REDIS_REPLY_ARRAY) {
    for (size_t k = 0; k + 1 < r->elements; k += 2)
      out[text(r->element[k])] = text(r->element[k + 1]);
  }
  return out;
}

std::vector<std::string> RedisReader::list(const std::string& key) {
  const Reply r = command(context(), {"LRANGE", key, "0", "-1"});
  std::vector<std::string> out;
  if (r && r->type == REDIS_REPLY_ARRAY) {
    for (size_t k = 0; k < r->elements; ++k) out.push_back(text(r->element[k]));
  }
  return out;
}

std::string RedisReader::info(const std::string& name) {
  const Reply r = command(context(), {"INFO"});
  const std::string all = r ? std::string(r->str ? r->str : "", r->len) : std::string();
  const size_t at = all.find("\r\n" + name + ":");
  if (at == std::string::npos) return {};
  const size_t from = at + name.size() + 3;
  return all.substr(from, all.find('\r', from) - from);
}

std::string RedisReader::config(const std::string& name) {
  const Reply r = command(context(), {"CONFIG", "GET", name});
  return r && r->type == REDIS_REPLY_ARRAY && r->elements == 2 ? text(r->element[1]) : "";
}

std::vector<std::string> checkInputLog(const std::vector<StreamEntry>& in,
                                       const RelayServerLimits& limits) {
  std::vector<std::string> faults;
  // The seq each user's session sends next; unknown for a session whose join
  // was trimmed away with the log's head.
  std::map<uint32_t, std::optional<uint64_t>> next;
  std::vector<std::pair<uint32_t, uint32_t>> ranges;
  for (const StreamEntry& e : in) {
    const auto user = field(e, "u");
    if (!user) {
      faults.push_back("entry " + formatOutId(e.id) + " names no user");
      continue;
    }
    const auto t = e.fields.find("t");
    const std::string type = t == e.fields.end() ? "" : t->second;
    auto& expected = next[*user];
    if (type == "j") {
      expected = 1;
    } else if (type == "g") {
      // A range request takes a seq of its own; its entry does not carry it.
      if (expected) ++*expected;
      const auto a = field(e, "a"), b = field(e, "b");
      if (a && b) ranges.push_back({*a, *b});
      if (!a || !b || *a >= *b || *a < limits.firstGrantedId ||
          uint64_t{*b} > uint64_t{limits.lastGrantedId} + 1) {
        faults.push_back("grant " + formatOutId(e.id) + " out of bounds");
      }
    } else if (type.empty()) {
      uint64_t q = 0;
      const auto it = e.fields.find("q");
      if (it == e.fields.end() || !number(it->second, q)) {
        faults.push_back("message " + formatOutId(e.id) + " without a seq");
      } else if (expected && q != *expected) {
        faults.push_back("user " + std::to_string(*user) + " seq " + std::to_string(q) + " where " +
                         std::to_string(*expected) + " was next (" + formatOutId(e.id) + ")");
      }
      expected = q + 1;
    }
  }
  std::sort(ranges.begin(), ranges.end());
  for (size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i].first < ranges[i - 1].second) {
      faults.push_back("grants " + std::to_string(ranges[i - 1].first) + " and " +
                       std::to_string(ranges[i].first) + " overlap");
    }
  }
  return faults;
}

std::unique_ptr<RelayServer> rebuild(RedisReader& redis, const std::string& conference,
                                     RelayServerLimits limits, std::string* error) {
  limits.grantsFromOutside = true;
  auto server = std::make_unique<RelayServer>([](uint32_t, std::span<const uint8_t>) {}, limits);
  std::optional<net::OutId> after;
  const auto header = redis.hash(confKey(conference, "snap"));
  if (!header.empty()) {
    const auto n = header.find("n");
    const auto at = header.find("in_id");
    std::string state;
    if (n != header.end()) {
      for (const std::string& chunk : redis.list(confKey(conference, "snap:") + n->second))
        state += chunk;
    }
    after = at == header.end() ? std::nullopt : parseOutId(at->second);
    if (!after ||
        !server->restoreState({reinterpret_cast<const uint8_t*>(state.data()), state.size()})) {
      *error = "the snapshot does not restore";
      return nullptr;
    }
  }
  for (const StreamEntry& e : redis.all(confKey(conference, "in"))) {
    if (after && e.id <= *after) continue;
    const auto user = field(e, "u");
    const auto t = e.fields.find("t");
    const auto m = e.fields.find("m");
    if (!user) continue;
    if (t == e.fields.end()) {
      if (m == e.fields.end()) continue;
      server->receive(*user,
                      {reinterpret_cast<const uint8_t*>(m->second.data()), m->second.size()});
    } else if (t->second == "j") {
      // A newer session of a user replaces the one still in.
      if (server->connected(*user)) server->disconnect(*user);
      server->connect(*user);
    } else if (t->second == "l") {
      server->disconnect(*user);
    } else if (t->second == "g") {
      const auto a = field(e, "a"), b = field(e, "b");
      if (a && b) server->adoptGrant(*user, *a, *b);
    }
  }
  return server;
}

}  // namespace scribly::sim
