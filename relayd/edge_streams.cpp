#include "relayd/edge_streams.h"

#include <charconv>

namespace scribly {

namespace {

using Node = RedisConnection::Node;

// An output entry's deliveries are written in parts of at most 256 KiB; a
// field past this is not one of ours.
constexpr size_t kMaxDeliveryBytes = net::kMaxFrameBytes;

bool isText(const Node& n) { return !n.nil && !n.array; }

bool decimal(const std::string& s, uint64_t& out) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return !s.empty() && ec == std::errc{} && end == s.data() + s.size();
}

// `[id, [field, value, ...]]`; nullopt when the id is broken.
std::optional<EdgeEntry> entryOf(const Node& n) {
  if (!n.array || n.items.size() != 2 || !isText(n.items[0])) return std::nullopt;
  const auto id = parseOutId(n.items[0].value);
  if (!id) return std::nullopt;
  EdgeEntry e{*id, {}, {}};
  const Node& fields = n.items[1];
  if (!fields.array || fields.items.size() % 2 != 0) return e;
  std::optional<net::OutId> source;
  const std::string* d = nullptr;
  for (size_t i = 0; i + 1 < fields.items.size(); i += 2) {
    if (!isText(fields.items[i]) || !isText(fields.items[i + 1])) return e;
    if (fields.items[i].value == "s") source = parseOutId(fields.items[i + 1].value);
    if (fields.items[i].value == "d") d = &fields.items[i + 1].value;
  }
  if (!source || !d || d->size() > kMaxDeliveryBytes) return e;
  e.source = *source;
  e.d.assign(d->begin(), d->end());
  return e;
}

bool entriesOf(const Node& n, std::vector<EdgeEntry>& out) {
  if (!n.array) return false;
  for (const Node& item : n.items) {
    auto e = entryOf(item);
    if (!e) return false;
    out.push_back(std::move(*e));
  }
  return true;
}

}  // namespace

std::optional<net::OutId> parseOutId(std::string_view text) {
  const auto id = parseStreamId(text);
  if (!id) return std::nullopt;
  return net::OutId{id->first, id->second};
}

std::string formatOutId(net::OutId id) {
  return std::to_string(id.ms) + "-" + std::to_string(id.seq);
}

std::optional<StreamState> streamState(RedisConnection& redis, const std::string& key) {
  StreamState s;
  const auto exists = redis.call({"EXISTS", key});
  if (!exists.ok || exists.values.size() != 1) return std::nullopt;
  if (exists.values[0] == "0") return s;
  const auto info = redis.query({"XINFO", "STREAM", key});
  if (!info.ok || !info.root.array || info.root.items.size() % 2 != 0) return std::nullopt;
  std::optional<uint64_t> length, added;
  bool lastSeen = false;
  const auto& items = info.root.items;
  for (size_t i = 0; i + 1 < items.size(); i += 2) {
    const std::string& name = items[i].value;
    const Node& v = items[i + 1];
    uint64_t n = 0;
    if ((name == "length" || name == "entries-added") && isText(v) && decimal(v.value, n)) {
      (name == "length" ? length : added) = n;
    }
    if (name == "last-generated-id" && isText(v)) {
      const auto id = parseOutId(v.value);
      if (!id) return std::nullopt;
      s.last = *id;
      lastSeen = true;
    }
    if (name == "first-entry" && v.array) {
      const auto e = entryOf(v);
      if (!e) return std::nullopt;
      s.first = e->id;
    }
  }
  if (!length || !added || !lastSeen) return std::nullopt;
  s.lostEntries = *added > *length;
  return s;
}

bool readRange(RedisConnection& redis, const std::string& key, net::OutId after, size_t count,
               std::vector<EdgeEntry>& out) {
  const std::string from = "(" + formatOutId(after), n = std::to_string(count);
  const auto t = redis.query({"XRANGE", key, from, "+", "COUNT", n});
  return t.ok && entriesOf(t.root, out);
}

bool readStreams(RedisConnection& redis, const std::vector<std::string>& keys,
                 const std::vector<net::OutId>& after, size_t count, int blockMs,
                 std::vector<std::vector<EdgeEntry>>& out) {
  out.assign(keys.size(), {});
  const std::string n = std::to_string(count), block = std::to_string(blockMs);
  std::vector<std::string> ids;
  for (net::OutId id : after) ids.push_back(formatOutId(id));
  std::vector<std::string_view> args{"XREAD", "COUNT", n, "BLOCK", block, "STREAMS"};
  args.insert(args.end(), keys.begin(), keys.end());
  args.insert(args.end(), ids.begin(), ids.end());
  const auto t = redis.query(args);
  if (!t.ok) return false;
  if (t.root.nil) return true;
  if (!t.root.array) return false;
  for (const Node& stream : t.root.items) {
    if (!stream.array || stream.items.size() != 2 || !isText(stream.items[0])) return false;
    size_t k = 0;
    while (k < keys.size() && keys[k] != stream.items[0].value) ++k;
    if (k == keys.size() || !entriesOf(stream.items[1], out[k])) return false;
  }
  return true;
}

}  // namespace scribly
