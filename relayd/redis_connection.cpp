#include "relayd/redis_connection.h"

#include <hiredis/hiredis.h>

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

// A reply, or null with *error set: Redis's own error, or the link's.
ReplyPtr checked(redisContext* context, ReplyPtr reply, std::string* error) {
  if (!reply) {
    *error = context->err ? context->errstr : "no reply";
  } else if (reply->type == REDIS_REPLY_ERROR) {
    error->assign(reply->str, reply->len);
    reply.reset();
  }
  return reply;
}

struct Argv {
  std::vector<const char*> argv;
  std::vector<size_t> lengths;
  template <class Strings>
  explicit Argv(const Strings& args) {
    for (const auto& a : args) {
      argv.push_back(a.data());
      lengths.push_back(a.size());
    }
  }
  int count() const { return static_cast<int>(argv.size()); }
};

// The reply to one command, or null with *error set (an error reply too).
ReplyPtr command(redisContext* context, const std::vector<std::string_view>& args,
                 std::string* error) {
  Argv a(args);
  return checked(context,
                 ReplyPtr(static_cast<redisReply*>(
                     redisCommandArgv(context, a.count(), a.argv.data(), a.lengths.data()))),
                 error);
}

constexpr int kMaxDepth = 4;

bool toNode(const redisReply* r, int depth, RedisConnection::Node& n) {
  if (r->type == REDIS_REPLY_NIL) {
    n.nil = true;
    return true;
  }
  if (r->type != REDIS_REPLY_ARRAY) return scalar(r, n.value);
  if (depth > kMaxDepth) return false;
  n.array = true;
  n.items.resize(r->elements);
  for (size_t i = 0; i < r->elements; ++i) {
    if (!toNode(r->element[i], depth + 1, n.items[i])) return false;
  }
  return true;
}

// A reply flattened to its fields; f carries the error when there is none.
RedisConnection::Fields fields(ReplyPtr reply, RedisConnection::Fields f) {
  if (!reply) return f;
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

RedisConnection::Tree RedisConnection::query(const std::vector<std::string_view>& args) {
  Tree t;
  const ReplyPtr reply = command(context_, args, &t.error);
  if (!reply) return t;
  if (!toNode(reply.get(), 0, t.root)) {
    t.error = "answer of an unexpected shape";
    t.root = {};
    return t;
  }
  t.ok = true;
  return t;
}

RedisConnection::Fields RedisConnection::call(const std::vector<std::string_view>& args) {
  Fields f;
  return fields(command(context_, args, &f.error), std::move(f));
}

std::vector<RedisConnection::Fields> RedisConnection::callAll(
    const std::vector<std::vector<std::string>>& commands) {
  // All written first, then all answers read: one round trip for the lot,
  // each command still run on its own and in order.
  for (const auto& args : commands) {
    Argv a(args);
    redisAppendCommandArgv(context_, a.count(), a.argv.data(), a.lengths.data());
  }
  std::vector<Fields> all(commands.size());
  for (Fields& f : all) {
    void* reply = nullptr;
    if (redisGetReply(context_, &reply) != REDIS_OK) reply = nullptr;
    f = fields(checked(context_, ReplyPtr(static_cast<redisReply*>(reply)), &f.error),
               std::move(f));
  }
  return all;
}

}  // namespace scribly
