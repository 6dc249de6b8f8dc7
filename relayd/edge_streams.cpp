#include "relayd/edge_streams.h"

#include <hiredis/hiredis.h>

#include <charconv>

namespace scribly {

namespace {

// An output entry's deliveries are written in parts of at most 256 KiB; a
// field past this is not one of ours.
constexpr size_t kMaxDeliveryBytes = net::kMaxFrameBytes;
constexpr size_t kMaxEntryFields = 16;

bool isString(const redisReply* r) {
  return r && (r->type == REDIS_REPLY_STRING || r->type == REDIS_REPLY_STATUS);
}
std::string_view text(const redisReply* r) { return {r->str, r->len}; }

bool decimal(std::string_view s, uint64_t& out) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return !s.empty() && ec == std::errc{} && end == s.data() + s.size();
}

// `[id, [field, value, ...]]`; nullopt when the id is broken, an entry
// without its fields or with fields of another shape when those are.
std::optional<EdgeEntry> entryOf(const redisReply* r) {
  if (!r || r->type != REDIS_REPLY_ARRAY || r->elements != 2 || !isString(r->element[0])) {
    return std::nullopt;
  }
  const auto id = parseOutId(text(r->element[0]));
  if (!id) return std::nullopt;
  EdgeEntry e{*id, {}, {}};
  const redisReply* fields = r->element[1];
  if (!fields || fields->type != REDIS_REPLY_ARRAY || fields->elements % 2 != 0 ||
      fields->elements > kMaxEntryFields) {
    return e;
  }
  std::optional<net::OutId> source;
  std::string_view d;
  for (size_t i = 0; i + 1 < fields->elements; i += 2) {
    if (!isString(fields->element[i]) || !isString(fields->element[i + 1])) return e;
    const std::string_view name = text(fields->element[i]);
    if (name == "s") source = parseOutId(text(fields->element[i + 1]));
    if (name == "d") d = text(fields->element[i + 1]);
  }
  if (!source || d.size() > kMaxDeliveryBytes) return e;
  e.source = *source;
  e.d.assign(d.begin(), d.end());
  return e;
}

bool entriesOf(const redisReply* r, std::vector<EdgeEntry>& out) {
  if (!r || r->type != REDIS_REPLY_ARRAY) return false;
  for (size_t i = 0; i < r->elements; ++i) {
    auto e = entryOf(r->element[i]);
    if (!e) return false;
    out.push_back(std::move(*e));
  }
  return true;
}

}  // namespace

std::optional<net::OutId> parseOutId(std::string_view text) {
  const size_t dash = text.find('-');
  net::OutId id;
  if (dash == std::string_view::npos || !decimal(text.substr(0, dash), id.ms) ||
      !decimal(text.substr(dash + 1), id.seq)) {
    return std::nullopt;
  }
  return id;
}

std::string formatOutId(net::OutId id) {
  return std::to_string(id.ms) + "-" + std::to_string(id.seq);
}

struct StreamClient::Reply {
  struct Free {
    void operator()(redisReply* r) const { freeReplyObject(r); }
  };
  std::unique_ptr<redisReply, Free> value;
};

std::unique_ptr<StreamClient> StreamClient::open(const std::string& host, int port, int timeoutMs,
                                                 std::string* error) {
  const timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  redisContext* context = redisConnectWithTimeout(host.c_str(), port, timeout);
  if (!context || context->err) {
    *error = context ? context->errstr : "out of memory";
    if (context) redisFree(context);
    return nullptr;
  }
  std::unique_ptr<StreamClient> client(new StreamClient(context));
  if (redisSetTimeout(context, timeout) != REDIS_OK) {
    *error = "cannot set the timeout";
    return nullptr;
  }
  return client;
}

StreamClient::~StreamClient() { redisFree(context_); }

bool StreamClient::command(const std::vector<std::string>& args, Reply& reply) {
  std::vector<const char*> argv;
  std::vector<size_t> lengths;
  for (const std::string& a : args) {
    argv.push_back(a.data());
    lengths.push_back(a.size());
  }
  reply.value.reset(static_cast<redisReply*>(
      redisCommandArgv(context_, static_cast<int>(argv.size()), argv.data(), lengths.data())));
  if (!reply.value) {
    error_ = context_->err ? context_->errstr : "no reply";
    return false;
  }
  if (reply.value->type == REDIS_REPLY_ERROR) {
    error_ = std::string(text(reply.value.get()));
    return false;
  }
  return true;
}

std::optional<StreamState> StreamClient::state(const std::string& key) {
  Reply reply;
  StreamState s;
  if (!command({"EXISTS", key}, reply)) return std::nullopt;
  if (reply.value->type == REDIS_REPLY_INTEGER && reply.value->integer == 0) return s;
  if (!command({"XINFO", "STREAM", key}, reply)) return std::nullopt;
  const redisReply* r = reply.value.get();
  if (r->type != REDIS_REPLY_ARRAY || r->elements % 2 != 0) return std::nullopt;
  std::optional<uint64_t> length, added;
  bool lastSeen = false;
  for (size_t i = 0; i + 1 < r->elements; i += 2) {
    if (!isString(r->element[i])) return std::nullopt;
    const std::string_view name = text(r->element[i]);
    const redisReply* v = r->element[i + 1];
    if (name == "length" && v->type == REDIS_REPLY_INTEGER) length = v->integer;
    if (name == "entries-added" && v->type == REDIS_REPLY_INTEGER) added = v->integer;
    if (name == "last-generated-id" && isString(v)) {
      const auto id = parseOutId(text(v));
      if (!id) return std::nullopt;
      s.last = *id;
      lastSeen = true;
    }
    if (name == "first-entry" && v->type == REDIS_REPLY_ARRAY) {
      const auto e = entryOf(v);
      if (!e) return std::nullopt;
      s.first = e->id;
    }
  }
  if (!length || !added || !lastSeen) return std::nullopt;
  s.lostEntries = *added > *length;
  return s;
}

bool StreamClient::range(const std::string& key, net::OutId after, size_t count,
                         std::vector<EdgeEntry>& out) {
  Reply reply;
  return command({"XRANGE", key, "(" + formatOutId(after), "+", "COUNT", std::to_string(count)},
                 reply) &&
         entriesOf(reply.value.get(), out);
}

bool StreamClient::read(const std::vector<std::string>& keys, const std::vector<net::OutId>& after,
                        size_t count, int blockMs, std::vector<std::vector<EdgeEntry>>& out) {
  out.assign(keys.size(), {});
  std::vector<std::string> args{
      "XREAD", "COUNT", std::to_string(count), "BLOCK", std::to_string(blockMs), "STREAMS"};
  args.insert(args.end(), keys.begin(), keys.end());
  for (net::OutId id : after) args.push_back(formatOutId(id));
  Reply reply;
  if (!command(args, reply)) return false;
  const redisReply* r = reply.value.get();
  if (r->type == REDIS_REPLY_NIL) return true;
  if (r->type != REDIS_REPLY_ARRAY) return false;
  for (size_t i = 0; i < r->elements; ++i) {
    const redisReply* stream = r->element[i];
    if (!stream || stream->type != REDIS_REPLY_ARRAY || stream->elements != 2 ||
        !isString(stream->element[0])) {
      return false;
    }
    size_t k = 0;
    while (k < keys.size() && keys[k] != text(stream->element[0])) ++k;
    if (k == keys.size() || !entriesOf(stream->element[1], out[k])) return false;
  }
  return true;
}

}  // namespace scribly
