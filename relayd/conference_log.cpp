#include "relayd/conference_log.h"

#include <charconv>
#include <optional>
#include <type_traits>

#include "collab/message_header.h"
#include "net/frame.h"

namespace scribly {

namespace {

template <class T>
bool number(std::string_view s, T& out) {
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

constexpr uint8_t kIdRangeCode = static_cast<uint8_t>(MessageCode::kIdRange);

// A stream entry [id, [field, value, ...]] as its id and fields; false for
// any other shape.
using EntryFields = std::vector<std::pair<std::string_view, std::string_view>>;
bool streamEntry(const RedisConnection::Node& e, std::string& id, EntryFields& fields) {
  if (!e.array || e.items.size() != 2 || e.items[0].array || !e.items[1].array ||
      e.items[1].items.size() % 2 != 0) {
    return false;
  }
  id = e.items[0].value;
  fields.clear();
  for (size_t i = 0; i < e.items[1].items.size(); i += 2) {
    const auto& k = e.items[1].items[i];
    const auto& v = e.items[1].items[i + 1];
    if (k.array || v.array) return false;
    fields.emplace_back(k.value, v.value);
  }
  return true;
}

// A hash's field-value pairs as HGETALL answers them; none when the answer
// is not an array of pairs.
std::optional<EntryFields> hashFields(const RedisConnection::Tree& t) {
  if (!t.root.array || t.root.items.size() % 2 != 0) return std::nullopt;
  EntryFields fields;
  for (size_t i = 0; i < t.root.items.size(); i += 2) {
    fields.emplace_back(t.root.items[i].value, t.root.items[i + 1].value);
  }
  return fields;
}

std::optional<std::string_view> field(const EntryFields& fields, std::string_view name) {
  for (const auto& [k, v] : fields) {
    if (k == name) return v;
  }
  return std::nullopt;
}

template <class T>
bool fieldNumber(const EntryFields& fields, std::string_view name, T& out) {
  const auto v = field(fields, name);
  return v && number(*v, out);
}

InputEntry inputEntry(std::string id, const EntryFields& f) {
  InputEntry e;
  e.id = std::move(id);
  const auto t = field(f, "t");
  bool ok = fieldNumber(f, "u", e.user);
  if (!t) {
    const auto m = field(f, "m");
    ok = ok && m;
    if (ok) e.message.assign(m->begin(), m->end());
    e.kind = InputEntry::Kind::Message;
  } else if (*t == "j" || *t == "l") {
    ok = ok && fieldNumber(f, "e", e.epoch);
    e.kind = *t == "j" ? InputEntry::Kind::Join : InputEntry::Kind::Leave;
  } else if (*t == "g") {
    ok = ok && fieldNumber(f, "a", e.start) && fieldNumber(f, "b", e.end) && e.start < e.end;
    e.kind = InputEntry::Kind::Grant;
  } else {
    ok = false;
  }
  if (!ok) {
    InputEntry unknown;
    unknown.id = std::move(e.id);
    return unknown;
  }
  return e;
}

// The entries of a stream range, or of an XREAD of one stream (nil: none).
bool streamEntries(const RedisConnection::Node& root, bool fromRead,
                   const std::vector<RedisConnection::Node>*& entries) {
  static const std::vector<RedisConnection::Node> kNone;
  entries = &kNone;
  if (fromRead) {
    if (root.nil) return true;
    if (!root.array || root.items.size() != 1 || !root.items[0].array ||
        root.items[0].items.size() != 2 || !root.items[0].items[1].array) {
      return false;
    }
    entries = &root.items[0].items[1].items;
    return true;
  }
  if (!root.array) return false;
  entries = &root.items;
  return true;
}

// Snapshots stay below this; a header claiming more is damaged.
constexpr uint64_t kMaxSnapshotBytes = uint64_t{4} << 30;

std::string_view bytes(std::span<const uint8_t> b) {
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}

}  // namespace

ConferenceLog::ConferenceLog(RedisConnection& redis, std::string_view conference,
                             ConferenceLogLimits limits)
    : redis_(redis), limits_(limits) {
  if (net::validConferenceName(conference)) prefix_ = "conf:{" + std::string(conference) + "}:";
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

std::vector<std::string> ConferenceLog::fcallArgs(std::string_view function,
                                                  std::vector<std::string> keys,
                                                  std::vector<std::string> args) const {
  std::vector<std::string> argv{"FCALL", std::string(function), std::to_string(keys.size())};
  for (std::string& k : keys) argv.push_back(std::move(k));
  for (std::string& a : args) argv.push_back(std::move(a));
  return argv;
}

std::vector<std::string> ConferenceLog::writeCommand(const LogWrite& w) const {
  if (codeOf(w.message.empty() ? 0 : w.message[0]) == kIdRangeCode) {
    return fcallArgs(
        "grant", {key("nextid"), key("grants"), key("in"), key("sess")},
        {std::to_string(w.user), std::to_string(w.epoch), std::to_string(w.seq),
         std::to_string(limits_.grantSize), std::to_string(limits_.maxGrantsPerUser),
         std::to_string(limits_.lastGrantedId), std::to_string(limits_.maxInputEntries)});
  }
  return fcallArgs("append", {key("in"), key("sess"), key("owner")},
                   {std::to_string(w.user), std::to_string(w.epoch), std::to_string(w.seq),
                    std::string(bytes(w.message)), std::to_string(limits_.maxInputEntries)});
}

AppendResult ConferenceLog::appendAnswer(const RedisConnection::Fields& f) {
  return answer<AppendResult>(f, 3,
                              [](const std::vector<std::string>& v) -> std::optional<Appended> {
                                if (v[2] != "0" && v[2] != "1") return std::nullopt;
                                return Appended{v[1], v[2] == "1"};
                              });
}

GrantResult ConferenceLog::grantAnswer(const RedisConnection::Fields& f) {
  return answer<GrantResult>(f, 4, [](const std::vector<std::string>& v) -> std::optional<Granted> {
    Granted g{v[1]};
    if (!number(v[2], g.start) || !number(v[3], g.end) || g.start >= g.end) return std::nullopt;
    return g;
  });
}

AppendResult ConferenceLog::append(uint32_t user, uint64_t epoch, uint64_t seq,
                                   std::span<const uint8_t> message) {
  if (!valid()) return Failed{"no such conference"};
  const auto argv = writeCommand({user, epoch, seq, message});
  return appendAnswer(redis_.call({argv.begin(), argv.end()}));
}

GrantResult ConferenceLog::grant(uint32_t user, uint64_t epoch, uint64_t seq) {
  if (!valid()) return Failed{"no such conference"};
  static constexpr uint8_t kRequest[] = {kIdRangeCode << 1};
  const auto argv = writeCommand({user, epoch, seq, kRequest});
  return grantAnswer(redis_.call({argv.begin(), argv.end()}));
}

std::vector<WriteResult> ConferenceLog::writeAll(std::span<const LogWrite> writes) {
  std::vector<WriteResult> results;
  if (!valid()) {
    results.assign(writes.size(), AppendResult{Failed{"no such conference"}});
    return results;
  }
  std::vector<std::vector<std::string>> commands;
  for (const LogWrite& w : writes) commands.push_back(writeCommand(w));
  const auto answers = redis_.callAll(commands);
  for (size_t i = 0; i < writes.size(); ++i) {
    if (commands[i][1] == "grant")
      results.emplace_back(grantAnswer(answers[i]));
    else
      results.emplace_back(appendAnswer(answers[i]));
  }
  return results;
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
  const OutputPart one{std::string(sourceId), part, parts, {deliveries.begin(), deliveries.end()}};
  return emit(token, std::span(&one, 1));
}

EmitResult ConferenceLog::emit(std::string_view token, std::span<const OutputPart> parts) {
  std::vector<std::string> args{std::string(token), std::to_string(limits_.maxOutputEntries),
                                std::to_string(limits_.outputRetentionMs)};
  for (const OutputPart& p : parts) {
    args.push_back(p.source);
    args.push_back(std::to_string(p.part));
    args.push_back(std::to_string(p.parts));
    args.emplace_back(bytes(p.deliveries));
  }
  const auto f = fcall("emit", {key("owner"), key("outpos"), key("out")}, std::move(args));
  return answer<EmitResult>(f, 2, [](const std::vector<std::string>& v) {
    return std::optional<Written>(Written{v[1]});
  });
}

std::optional<std::pair<uint64_t, uint64_t>> parseStreamId(std::string_view id) {
  const size_t dash = id.find('-');
  std::pair<uint64_t, uint64_t> n;
  if (dash == std::string_view::npos || !number(id.substr(0, dash), n.first) ||
      !number(id.substr(dash + 1), n.second)) {
    return std::nullopt;
  }
  return n;
}

std::variant<std::vector<InputEntry>, Failed> ConferenceLog::readInput(std::string_view after,
                                                                       uint32_t count,
                                                                       uint32_t blockMs) {
  if (!valid()) return Failed{"no such conference"};
  if (!parseStreamId(after)) return Failed{"bad position"};
  const std::string in = key("in"), n = std::to_string(count), block = std::to_string(blockMs);
  std::vector<std::string_view> args{"XREAD", "COUNT", n};
  if (blockMs > 0) args.insert(args.end(), {"BLOCK", block});
  args.insert(args.end(), {"STREAMS", in, after});
  const RedisConnection::Tree t = redis_.query(args);
  const std::vector<RedisConnection::Node>* entries = nullptr;
  if (!t.ok) return Failed{t.error};
  if (!streamEntries(t.root, true, entries)) return Failed{"malformed stream"};
  std::vector<InputEntry> out;
  std::string id;
  EntryFields fields;
  for (const auto& e : *entries) {
    if (!streamEntry(e, id, fields) || !parseStreamId(id)) return Failed{"malformed entry"};
    out.push_back(inputEntry(id, fields));
  }
  return out;
}

std::variant<std::vector<OutputEntry>, Failed> ConferenceLog::readOutput(std::string_view after,
                                                                         uint32_t count) {
  if (!valid()) return Failed{"no such conference"};
  const std::string out = key("out"), from = "(" + std::string(after), n = std::to_string(count);
  const RedisConnection::Tree t = redis_.query({"XRANGE", out, from, "+", "COUNT", n});
  const std::vector<RedisConnection::Node>* entries = nullptr;
  if (!t.ok) return Failed{t.error};
  if (!streamEntries(t.root, false, entries)) return Failed{"malformed stream"};
  std::vector<OutputEntry> result;
  EntryFields fields;
  for (const auto& e : *entries) {
    OutputEntry o;
    const auto source = streamEntry(e, o.id, fields) ? field(fields, "s") : std::nullopt;
    const auto d = field(fields, "d");
    if (!source || !d || !fieldNumber(fields, "p", o.part) || !fieldNumber(fields, "n", o.parts)) {
      return Failed{"malformed entry"};
    }
    o.source = *source;
    o.deliveries.assign(d->begin(), d->end());
    result.push_back(std::move(o));
  }
  return result;
}

std::variant<std::pair<std::string, uint32_t>, Failed> ConferenceLog::outputPosition() {
  if (!valid()) return Failed{"no such conference"};
  const std::string outpos = key("outpos");
  const RedisConnection::Tree t = redis_.query({"GET", outpos});
  if (!t.ok) return Failed{t.error};
  if (t.root.nil) return std::pair<std::string, uint32_t>{};
  const std::string& v = t.root.value;
  const size_t colon = v.rfind(':');
  std::pair<std::string, uint32_t> pos;
  if (colon == std::string::npos || !parseStreamId(std::string_view(v).substr(0, colon)) ||
      !number(v.substr(colon + 1), pos.second)) {
    return Failed{"malformed output position"};
  }
  pos.first = v.substr(0, colon);
  return pos;
}

std::variant<std::optional<SnapshotHeader>, Failed> ConferenceLog::snapshotHeader() {
  if (!valid()) return Failed{"no such conference"};
  const RedisConnection::Tree t = redis_.query({"HGETALL", key("snap")});
  if (!t.ok) return Failed{t.error};
  const auto fields = hashFields(t);
  if (!fields) return Failed{"malformed snapshot header"};
  if (fields->empty()) return std::optional<SnapshotHeader>{};
  SnapshotHeader h;
  const auto inId = field(*fields, "in_id");
  if (!fieldNumber(*fields, "n", h.n) || !fieldNumber(*fields, "size", h.size) || !inId ||
      !parseStreamId(*inId) || field(*fields, "format") != "1" || h.size > kMaxSnapshotBytes) {
    return Failed{"malformed snapshot header"};
  }
  h.inId = *inId;
  return std::optional<SnapshotHeader>(h);
}

std::variant<std::vector<uint8_t>, Failed> ConferenceLog::readSnapshot(
    const SnapshotHeader& header) {
  if (!valid()) return Failed{"no such conference"};
  const std::string chunks = key("snap:" + std::to_string(header.n));
  std::vector<uint8_t> out;
  for (size_t i = 0;; ++i) {
    const std::string index = std::to_string(i);
    const RedisConnection::Tree t = redis_.query({"LINDEX", chunks, index});
    if (!t.ok) return Failed{t.error};
    if (t.root.nil) break;
    if (t.root.array || t.root.value.size() > header.size - out.size()) {
      return Failed{"snapshot damaged"};
    }
    out.insert(out.end(), t.root.value.begin(), t.root.value.end());
  }
  if (out.size() != header.size) return Failed{"snapshot damaged"};
  return out;
}

FencedStep ConferenceLog::writeSnapshotChunk(std::string_view token, uint64_t n, bool first,
                                             std::span<const uint8_t> chunk) {
  const auto f = fcall("snapchunk", {key("owner"), key("snap:" + std::to_string(n))},
                       {std::string(token), first ? "1" : "0", std::string(bytes(chunk))});
  return answer<FencedStep>(f, 1, [](const std::vector<std::string>&) {
    return std::optional<std::monostate>(std::monostate{});
  });
}

FencedStep ConferenceLog::commitSnapshot(std::string_view token, const SnapshotHeader& header,
                                         uint64_t oldN) {
  const auto f = fcall("snapcommit",
                       {key("owner"), key("snap"), key("in"), key("snap:" + std::to_string(oldN))},
                       {std::string(token), std::to_string(header.n), header.inId,
                        std::to_string(header.size), std::to_string(oldN)});
  return answer<FencedStep>(f, 1, [](const std::vector<std::string>&) {
    return std::optional<std::monostate>(std::monostate{});
  });
}

std::variant<std::vector<SessionInfo>, Failed> ConferenceLog::sessions() {
  if (!valid()) return Failed{"no such conference"};
  const RedisConnection::Tree t = redis_.query({"HGETALL", key("sess")});
  if (!t.ok) return Failed{t.error};
  const auto fields = hashFields(t);
  if (!fields) return Failed{"malformed sessions"};
  std::vector<SessionInfo> out;
  for (const auto& [user, v] : *fields) {
    // "epoch:lastSeq:node:secretHash"; a value of another shape is no session.
    const size_t a = v.find(':');
    const size_t b = a == std::string::npos ? a : v.find(':', a + 1);
    const size_t c = b == std::string::npos ? b : v.find(':', b + 1);
    SessionInfo s;
    if (c == std::string::npos || !number(user, s.user) || !number(v.substr(0, a), s.epoch)) {
      continue;
    }
    s.node = v.substr(b + 1, c - b - 1);
    out.push_back(std::move(s));
  }
  return out;
}

std::variant<bool, Failed> ConferenceLog::nodeAlive(std::string_view node) {
  const std::string heartbeat = "node:" + std::string(node);
  const RedisConnection::Fields f = redis_.call({"EXISTS", heartbeat});
  if (!f.ok || f.values.size() != 1) return Failed{f.ok ? "malformed answer" : f.error};
  return f.values[0] == "1";
}

}  // namespace scribly
