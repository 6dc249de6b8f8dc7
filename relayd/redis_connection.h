#pragma once
// The relay node's synchronous Redis client. Every reply is read into a
// checked shape before anyone looks at it: a reply is input like any other.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct redisContext;

namespace scribly {

// A connection to redis-server; closed when dropped.
class RedisConnection {
 public:
  // Connects and loads the conference log functions (replacing an older copy).
  // Null with *error set when either fails.
  static std::unique_ptr<RedisConnection> open(const std::string& host, int port,
                                               std::string* error);
  ~RedisConnection();
  RedisConnection(const RedisConnection&) = delete;
  RedisConnection& operator=(const RedisConnection&) = delete;

  // A reply flattened to its fields: a status or string, an integer (as
  // decimal), or an array of those. Failed when Redis answered an error, the
  // link failed, or the reply had any other shape.
  struct Fields {
    bool ok = false;
    std::string error;
    std::vector<std::string> values;
  };
  Fields call(const std::vector<std::string_view>& args);
  // Several commands in one round trip; one answer each, in order.
  std::vector<Fields> callAll(const std::vector<std::vector<std::string>>& commands);

  // A reply of any shape: nested arrays of strings (integers as decimal),
  // nil marked. Failed as above, or when it nests deeper than four levels.
  struct Node {
    bool nil = false;
    bool array = false;
    std::string value;
    std::vector<Node> items;
  };
  struct Tree {
    bool ok = false;
    std::string error;
    Node root;
  };
  Tree query(const std::vector<std::string_view>& args);

 private:
  explicit RedisConnection(redisContext* context) : context_(context) {}

  redisContext* context_;
};

}  // namespace scribly
