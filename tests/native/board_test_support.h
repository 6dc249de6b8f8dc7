#pragma once
// Fakes of the board's seams, a board with its fakes, an in-memory conference
// that wires boards together (peer to peer, or through the relay server),
// random local operations, and a comparison of whole boards. Shared by the
// board and relay tests, the fuzz targets and the benchmarks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "board/board.h"
#include "collab/message_codec.h"
#include "collab/message_header.h"
#include "objects/hand_symbol_object.h"
#include "objects/image_object.h"
#include "objects/object_factory.h"
#include "objects/pencil_object.h"
#include "objects/pixel_ops.h"
#include "objects/rect_object.h"
#include "objects/text_object.h"
#include "relay/relay_server.h"

namespace scribly::testing {

using Bytes = std::vector<uint8_t>;

// --- Seams --------------------------------------------------------------------

struct FakeView final : BoardView {
  struct Note {
    ContentsChange kind;
    uint32_t page;
    friend bool operator==(const Note&, const Note&) = default;
  };
  std::vector<Note> contents;
  std::vector<std::string> boxes;
  std::vector<MessageBoxKind> boxKinds;
  MessageBoxAnswer answer = MessageBoxAnswer::Yes;
  std::optional<ScrollInfo> bars[2];
  std::vector<std::pair<int32_t, int32_t>> scrolled;
  std::optional<Size> client;
  // What was invalidated, in view coordinates.
  std::vector<Rect> invalidated;
  int wholeInvalidations = 0;

  void invalidateRect(const Rect& r, bool) override { invalidated.push_back(r); }
  void invalidateAll(bool) override { ++wholeInvalidations; }
  void contentsChanged(ContentsChange kind, uint32_t page) override {
    contents.push_back({kind, page});
  }
  void documentPagesRemoved(std::string_view) override {}
  void namedPageCreated(uint32_t, std::string_view) override {}
  void pageInfoChanged() override {}
  MessageBoxAnswer messageBox(std::string_view key, MessageBoxKind kind) override {
    boxes.emplace_back(key);
    boxKinds.push_back(kind);
    return kind == MessageBoxKind::StopOk ? MessageBoxAnswer::Ok : answer;
  }
  std::optional<ScrollInfo> scrollInfo(ScrollBar bar) override {
    return bars[static_cast<int>(bar)];
  }
  // Positions are clamped as the system's bars do: to the range less the page.
  int32_t setScrollPosition(ScrollBar bar, int32_t position) override {
    auto& info = bars[static_cast<int>(bar)];
    if (!info) return position;
    const int32_t last = info->maximum - std::max<int32_t>(int32_t(info->pageSize) - 1, 0);
    info->position = std::max(info->minimum, std::min(position, std::max(info->minimum, last)));
    return info->position;
  }
  void setScrollRange(ScrollBar bar, int32_t minimum, int32_t maximum, uint32_t pageSize) override {
    auto& info = bars[static_cast<int>(bar)];
    if (!info) return;
    info->minimum = minimum;
    info->maximum = maximum;
    info->pageSize = pageSize;
    setScrollPosition(bar, info->position);
  }
  void scrollContents(int32_t dx, int32_t dy) override { scrolled.emplace_back(dx, dy); }
  std::optional<Size> clientSize() override { return client; }
};

struct FakeFiles final : BoardFiles {
  std::map<std::string, Bytes> files;

  std::optional<Bytes> readFile(const std::string& path, size_t maxBytes) override {
    auto it = files.find(path);
    if (it == files.end() || it->second.size() > maxBytes) return std::nullopt;
    return it->second;
  }
  bool writeFile(const std::string& path, std::span<const uint8_t> bytes) override {
    files[path] = Bytes(bytes.begin(), bytes.end());
    return true;
  }
  bool copyFile(const std::string& from, const std::string& to) override {
    auto it = files.find(from);
    if (it == files.end()) return false;
    files[to] = it->second;
    return true;
  }
  bool moveFile(const std::string& from, const std::string& to) override {
    if (!copyFile(from, to)) return false;
    if (from != to) files.erase(from);
    return true;
  }
  bool deleteFile(const std::string& path) override { return files.erase(path) != 0; }
};

// A picture whose pixel at (x, y), counted from the top, is blue x % 256,
// green y % 256 and red x / 256: every pixel tells where it came from.
inline std::unique_ptr<BackgroundPicture> testPicture(uint16_t width, uint16_t height) {
  Bytes pixels(pictureBytes(width, height));
  const size_t row = pictureRowBytes(width);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* p = &pixels[(height - 1 - y) * row + 3 * x];
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = static_cast<uint8_t>(x >> 8);
    }
  }
  return BackgroundPicture::make(std::move(pixels), width, height);
}

// Decodes any non-empty file of its file set as a test picture as wide as the
// file is long and `height` pixels high.
struct FakeDecoder final : PictureDecoder {
  FakeFiles* files;
  uint16_t height = 100;
  explicit FakeDecoder(FakeFiles* f) : files(f) {}
  std::unique_ptr<BackgroundPicture> decodeFile(const std::string& path,
                                                size_t maxPixelBytes) override {
    auto it = files->files.find(path);
    if (it == files->files.end() || it->second.empty() || it->second.size() > 0xFFFF ||
        pictureBytes(static_cast<uint32_t>(it->second.size()), height) > maxPixelBytes) {
      return nullptr;
    }
    return testPicture(static_cast<uint16_t>(it->second.size()), height);
  }
};

// The host's user information in the XML reader's dialect (no declaration).
inline std::string userInfoXml(const std::string& name) {
  return "<user><userbasic><id>1</id><name>" + name + "</name></userbasic></user>";
}

struct FakeHostInfo final : HostInfo {
  std::map<uint32_t, std::string> infos;
  std::vector<uint32_t> asked;
  std::string userInfo(uint32_t userId) override {
    asked.push_back(userId);
    auto it = infos.find(userId);
    return it == infos.end() ? std::string() : it->second;
  }
};

// Records what the board hands to the host; a relay may listen in.
struct RecordingHost final : HostLink {
  struct Sent {
    uint32_t target;
    Bytes bytes;
    uint32_t level;
    uint32_t type;
  };
  std::vector<Sent> sent;
  std::vector<Bytes> mirrored;
  std::function<void(uint32_t target, const Bytes&)> onSend;

  void sendTo(uint32_t type, uint32_t target, std::span<const uint8_t> m, uint32_t level) override {
    sent.push_back({target, Bytes(m.begin(), m.end()), level, type});
    if (onSend) onSend(target, sent.back().bytes);
  }
  void hostMessage(uint32_t command, std::span<const uint8_t> m) override {
    if (command == kMirrorCommand) mirrored.emplace_back(m.begin(), m.end());
  }
  // Codes of everything sent, in order.
  std::vector<uint8_t> sentCodes() const {
    std::vector<uint8_t> codes;
    for (const Sent& s : sent) codes.push_back(codeOf(s.bytes[0]));
    return codes;
  }
  // Ids of the missing-item requests sent, in order.
  std::vector<uint32_t> askedIds() const {
    std::vector<uint32_t> ids;
    for (const Sent& s : sent)
      if (auto m = parse<MissingItem>(s.bytes)) ids.push_back(m->id);
    return ids;
  }
  size_t countSent(MessageCode code) const {
    return static_cast<size_t>(std::ranges::count(sentCodes(), toByte(code)));
  }
};

// A message as its sender's queue sends it: flagged for acknowledgement.
inline Bytes queued(Bytes m) {
  m[0] |= kQueuedFlag;
  return m;
}

// A blue rectangle from x to x + 40, as committed on `page` under `id`.
inline Bytes rectCreation(uint32_t page, uint32_t id, int16_t x = 10) {
  RectObject rect;
  rect.setPoints(PackedPoint::pack({x, 10}), PackedPoint::pack({int16_t(x + 40), 50}));
  rect.setColour(0x0000FF);
  return build(CreateObject{12, page, id, saveRecord(rect)});
}

// A picture of w x h pixels that pack badly, as a sender makes it: its
// creation and the bulk record it transfers.
struct PictureMessages {
  Bytes creation;
  Bytes bulk;
};
inline PictureMessages pictureMessages(uint32_t page, uint32_t id, uint16_t w, uint16_t h) {
  ImageObject image;
  Bytes pixels(size_t{w} * h * 3);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7);
  EXPECT_TRUE(image.attachPixels(std::move(pixels), w, h, {0, 0}, {int16_t(w), int16_t(h)}));
  return {build(CreateObject{14, page, id, saveRecord(image)}), saveBulkRecord(image)};
}

// The record of a picture, pixels yet to come, in a box `side` pixels square.
inline Bytes pictureRecord(int32_t side) {
  ImageObject picture;
  picture.setPoints(PackedPoint::pack({0, 0}), PackedPoint::pack({side, side}));
  return saveRecord(picture);
}

inline ObjectChange objectChange(MessageCode code, uint32_t value, uint32_t second = 0) {
  return {code, value, second, {}};
}

// Options with one field changed from the defaults.
template <class T>
BoardOptions withOption(T BoardOptions::*field, std::type_identity_t<T> value) {
  BoardOptions options;
  options.*field = std::move(value);
  return options;
}

// A board with its own fakes.
struct TestBoard {
  RecordingHost host;
  FakeView view;
  FakeFiles files;
  FakeDecoder decoder{&files};
  FakeHostInfo info;
  // The board's clock in milliseconds; it moves when a test moves it.
  uint32_t now = 0;
  std::unique_ptr<Board> board;

  static constexpr const char* kFolder = "C:\\Scribly\\BKDoc\\";

  explicit TestBoard(bool peerToPeer = true, BoardOptions options = {}) {
    options.peerToPeer = peerToPeer;
    if (options.backgroundFolder.empty()) options.backgroundFolder = kFolder;
    board = std::make_unique<Board>(BoardEnvironment{host, view, files, decoder, info, nullptr,
                                                     nullptr, [this] { return now; }},
                                    std::move(options));
  }
  Board* operator->() { return board.get(); }
  Board& operator*() { return *board; }
  bool dispatch(const Bytes& m) { return board->dispatch(m); }
  template <class M>
  bool receive(const M& message, bool queued = true) {
    Bytes bytes = build(message);
    if (bytes.empty()) return false;
    if (queued) bytes[0] |= kQueuedFlag;
    return board->dispatch(bytes);
  }
  // Acknowledges until the queue has released everything it held.
  void acknowledgeAll(int limit = 100000) {
    for (int i = 0; i < limit && !board->sendQueue().ready(); ++i)
      receive(Acknowledgement{}, false);
  }
  // The messages of one kind this board sent, once its queue let all go.
  template <class M>
  std::vector<M> sentOf() {
    acknowledgeAll();
    std::vector<M> out;
    for (const auto& s : host.sent)
      if (auto m = parse<M>(s.bytes)) out.push_back(*m);
    return out;
  }
};

// A board in a peer-to-peer conference: user 11, with 12 as its partner.
struct JoinedBoard : TestBoard {
  explicit JoinedBoard(BoardOptions options = {}) : TestBoard(true, std::move(options)) {
    board->initialize(11, 12);
  }
};

// Options whose background menu offers two templates: "default" 16 x 8 and
// "grid" 24 x 24.
inline BoardOptions withTemplates() {
  BoardOptions options;
  options.templates = {{"default", testPicture(16, 8)}, {"grid", testPicture(24, 24)}};
  return options;
}

// --- Conference ---------------------------------------------------------------

// Boards wired together in memory, peer to peer or through the relay server.
// Each link (sender to receiver) keeps its order, as the host's transport
// does; which link delivers next is chosen at random.
class InMemoryRelay {
 public:
  enum class Mode { PeerToPeer, Server };
  // The server's own address on the links.
  static constexpr uint32_t kServer = 0;

  // Small id ranges by default, so boards ask for more while they work.
  InMemoryRelay(Mode mode, size_t boards, uint32_t seed, BoardOptions options = {},
                RelayServerLimits limits = {.idRangeSize = 64})
      : mode_(mode),
        options_(std::move(options)),
        rng_(seed),
        server_(
            [this](uint32_t to, std::span<const uint8_t> m) {
              post({kServer, to}, Bytes(m.begin(), m.end()));
            },
            limits) {
    for (size_t i = 0; i < boards; ++i) add();
    for (size_t i = 0; i < boards; ++i) {
      // Peer to peer: the partner is the other board; server mode: the
      // conference's own id.
      const uint32_t partner = mode == Mode::PeerToPeer ? userIdOf((i + 1) % boards) : 77;
      nodes_[i]->board->initialize(userIdOf(i), partner);
    }
  }

  static uint32_t userIdOf(size_t index) { return static_cast<uint32_t>(11 + index); }
  Mode mode() const { return mode_; }
  size_t size() const { return nodes_.size(); }
  TestBoard& node(size_t i) { return *nodes_[i]; }
  Board& board(size_t i) { return *nodes_[i]->board; }
  std::mt19937& rng() { return rng_; }
  RelayServer& server() { return server_; }

  // A participant who joins a server-mode conference now.
  TestBoard& join() {
    TestBoard& node = add();
    node->initialize(userIdOf(nodes_.size() - 1), 77);
    return node;
  }

  bool idle() const { return ready_.empty(); }
  // Delivers one message from a random non-empty link; false when idle. The
  // k-th non-empty link in key order is found without visiting the others, so
  // a delivery costs the same with 400 links as with 4 (and a seed still
  // gives the sequence it always gave).
  bool deliverOne() {
    if (ready_.empty()) return false;
    const Link key =
        *ready_.find_by_order(std::uniform_int_distribution<size_t>(0, ready_.size() - 1)(rng_));
    std::deque<Bytes>& link = links_[key];
    Bytes m = std::move(link.front());
    link.pop_front();
    if (link.empty()) ready_.erase(key);
    if (onDeliver) onDeliver(key.first, key.second, m);
    if (key.second == kServer) {
      server_.receive(key.first, m);
    } else if (TestBoard* to = byUser(key.second)) {
      to->board->dispatch(m);
    }
    return true;
  }
  // Delivers until nothing is left (bounded, so a livelock fails the test).
  bool drain(size_t limit = 20'000'000) {
    while (limit-- > 0) {
      if (!deliverOne()) return true;
    }
    return false;
  }
  // Sees every message as it is delivered (the server is kServer).
  std::function<void(uint32_t from, uint32_t to, const Bytes&)> onDeliver;

 private:
  TestBoard& add() {
    const size_t index = nodes_.size();
    const uint32_t user = userIdOf(index);
    auto node = std::make_unique<TestBoard>(mode_ == Mode::PeerToPeer, options_);
    node->info.infos[user] = userInfoXml("User" + std::to_string(user));
    node->host.onSend = [this, user](uint32_t target, const Bytes& m) {
      post({user, mode_ == Mode::PeerToPeer ? target : kServer}, m);
    };
    nodes_.push_back(std::move(node));
    if (mode_ == Mode::Server) server_.connect(user);
    return *nodes_.back();
  }
  TestBoard* byUser(uint32_t user) {
    const size_t index = user - userIdOf(0);
    return user >= userIdOf(0) && index < nodes_.size() ? nodes_[index].get() : nullptr;
  }
  // (sender, receiver)
  using Link = std::pair<uint32_t, uint32_t>;
  void post(const Link& key, Bytes m) {
    links_[key].push_back(std::move(m));
    ready_.insert(key);
  }

  Mode mode_;
  BoardOptions options_;
  std::mt19937 rng_;
  RelayServer server_;
  std::vector<std::unique_ptr<TestBoard>> nodes_;
  std::map<Link, std::deque<Bytes>> links_;
  // The links holding a message, ranked by key.
  __gnu_pbds::tree<Link, __gnu_pbds::null_type, std::less<Link>, __gnu_pbds::rb_tree_tag,
                   __gnu_pbds::tree_order_statistics_node_update>
      ready_;
};

// --- Comparison ---------------------------------------------------------------

// What another board must hold the same: pages by id with their names and
// template, objects by id with kind, record and bulk record, and backgrounds
// with their file bytes. Drawing order between objects committed at the same
// time on different boards is not ordered by the protocol, so objects are
// compared by id.
struct BoardSnapshot {
  struct Object {
    uint8_t kind;
    Bytes record;
    Bytes bulk;
    friend bool operator==(const Object&, const Object&) = default;
  };
  struct PageState {
    std::string name;
    std::string templateName;
    std::map<uint32_t, Object> objects;
    bool hasBackground = false;
    uint32_t backgroundNumber = 0;
    std::string extension;
    Bytes backgroundFile;
    friend bool operator==(const PageState&, const PageState&) = default;
  };
  std::map<uint32_t, PageState> pages;
  friend bool operator==(const BoardSnapshot&, const BoardSnapshot&) = default;

  static BoardSnapshot of(const Board& board, const FakeFiles& files) {
    BoardSnapshot s;
    for (const auto& page : board.pages()) {
      PageState& p = s.pages[page->id()];
      p.name = page->name();
      p.templateName = page->templateName();
      for (const PageObject& e : page->objects()) {
        p.objects[e.id] = {static_cast<uint8_t>(e.object->kind()), saveRecord(*e.object),
                           page->bulkOf(e.id)};
      }
      p.hasBackground = page->hasBackgroundFile();
      if (p.hasBackground) {
        p.backgroundNumber = page->backgroundNumber();
        p.extension = page->backgroundExtension();
        auto it = files.files.find(page->backgroundPath());
        if (it != files.files.end()) p.backgroundFile = it->second;
      }
    }
    return s;
  }
  static BoardSnapshot of(TestBoard& b) { return of(*b.board, b.files); }
};

// The relay server's replica has no files and no templates: it is compared
// without the background files' bytes (its pages keep them as they travelled)
// and template names (which the server relays by name).
inline BoardSnapshot withoutFiles(BoardSnapshot s) {
  for (auto& [id, page] : s.pages) {
    page.backgroundFile.clear();
    page.templateName.clear();
  }
  return s;
}

// The first difference between two boards, readable in a failure message;
// empty when they hold the same.
inline std::string firstDifference(const BoardSnapshot& a, const BoardSnapshot& b) {
  for (const auto& [mine, other, side] : {std::tuple{&a, &b, "first"}, {&b, &a, "second"}}) {
    for (const auto& [id, page] : mine->pages) {
      const std::string where = "page " + std::to_string(id);
      const auto there = other->pages.find(id);
      if (there == other->pages.end()) return where + " only on the " + side + " board";
      if (page.name != there->second.name) return where + " named '" + page.name + "' elsewhere";
      for (const auto& [oid, o] : page.objects) {
        const auto found = there->second.objects.find(oid);
        const std::string object = where + " object " + std::to_string(oid);
        if (found == there->second.objects.end()) return object + " only on the " + side;
        if (!(found->second == o)) return object + " differs";
      }
      if (!(page == there->second)) return where + " template or background differs";
    }
  }
  return {};
}

inline ::testing::AssertionResult sameBoards(const BoardSnapshot& a, const BoardSnapshot& b) {
  const std::string difference = firstDifference(a, b);
  if (difference.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << difference;
}

// --- Local operations ---------------------------------------------------------

// A picture of w x h pixels at its own size: a gradient, with a little noise
// when given a generator, as a photograph would be (JPEG cannot pack pure
// noise into the bulk record).
inline std::unique_ptr<ImageObject> gradientPicture(uint16_t w, uint16_t h, Point at,
                                                    std::mt19937* rng = nullptr) {
  const size_t row = pictureRowBytes(w);
  const uint8_t tint = rng ? static_cast<uint8_t>((*rng)()) : 0;
  Bytes pixels(row * h);
  for (size_t y = 0; y < h; ++y) {
    for (size_t x = 0; x < 3u * w; ++x) {
      pixels[y * row + x] = static_cast<uint8_t>(x + 2 * y + tint + (rng ? (*rng)() % 4 : 0));
    }
  }
  auto image = std::make_unique<ImageObject>();
  image->attachPixels(std::move(pixels), w, h, at, {at.x + w, at.y + h});
  return image;
}

// A picture of a few dozen pixels a side.
inline std::unique_ptr<ImageObject> randomPicture(std::mt19937& rng, Point at) {
  const uint16_t w = static_cast<uint16_t>(std::uniform_int_distribution<int>(32, 96)(rng));
  const uint16_t h = static_cast<uint16_t>(std::uniform_int_distribution<int>(32, 96)(rng));
  return gradientPicture(w, h, at, &rng);
}

// An object of the given kind, as the canvas would commit it.
inline std::unique_ptr<BoardObject> makeObject(uint8_t kind, std::mt19937& rng, uint32_t userId) {
  auto coord = [&] { return std::uniform_int_distribution<int32_t>(0, 1199)(rng); };
  const Point a{coord(), coord()};
  const Point b{coord(), coord()};
  ToolSettings settings;
  settings.width = static_cast<uint8_t>(1 + rng() % 10);
  settings.style = rng() % 5;
  settings.colour = rng() & 0xFFFFFF;
  settings.fill = (rng() % 2) ? rng() & 0xFFFFFF : 0;
  switch (kind) {
    case 14:
      return randomPicture(rng, a);
    case 15: {
      auto text = std::make_unique<TextObject>();
      text->setText("note " + std::to_string(rng() % 1000));
      text->moveTo(PackedPoint::pack(a));
      text->setColour(settings.colour);
      return text;
    }
    case 17: {
      auto hand = std::make_unique<HandSymbolObject>(userId, a);
      hand->setColour(settings.colour);
      return hand;
    }
    case 10: {
      ToolStart start = ObjectFactory().startFromTool(10, a, settings);
      auto* pencil = static_cast<PencilObject*>(start.object.get());
      const int n = 1 + static_cast<int>(rng() % 40);
      for (int i = 0; i < n; ++i) pencil->addPoint({coord(), coord()});
      return std::move(start.object);
    }
    default: {
      ToolStart start = ObjectFactory().startFromTool(kind, a, settings);
      if (!start.object) return nullptr;
      start.object->moveHandle(start.dragHandle, b);
      return std::move(start.object);
    }
  }
}

inline constexpr uint8_t kCommittableKinds[] = {10, 11, 12, 13, 14, 15, 16,
                                                17, 20, 21, 22, 23, 24, 25};

// A property change of any kind with values a user could pick.
inline ObjectChange randomObjectChange(std::mt19937& rng) {
  static constexpr MessageCode kCodes[] = {
      MessageCode::kSetColor,      MessageCode::kSetFill,        MessageCode::kSetWidth,
      MessageCode::kMoveTo,        MessageCode::kSetPoints,      MessageCode::kSetFont,
      MessageCode::kSetStyle,      MessageCode::kSetOrientation, MessageCode::kSetAdjustmentA,
      MessageCode::kSetBrightness, MessageCode::kSetContrast};
  ObjectChange change{kCodes[rng() % std::size(kCodes)], 0, 0, {}};
  auto coord = [&] { return std::uniform_int_distribution<int32_t>(0, 1199)(rng); };
  switch (change.code) {
    case MessageCode::kSetWidth:
      change.value = 1 + rng() % 10;
      break;
    case MessageCode::kMoveTo:
      change.value = PackedPoint::pack({coord(), coord()}).value;
      break;
    case MessageCode::kSetPoints:
      change.value = (rng() % 2) ? rng() % 9 : PackedPoint::pack({coord(), coord()}).value;
      change.second = PackedPoint::pack({coord(), coord()}).value;
      break;
    case MessageCode::kSetFont:
      change.font.height = -static_cast<int32_t>(8 + rng() % 30);
      change.font.weight = 400;
      change.font.setFace((rng() % 2) ? "Arial" : "Courier New");
      break;
    case MessageCode::kSetStyle:
      change.value = rng() % 5;
      break;
    case MessageCode::kSetOrientation:
      change.value = 1 + rng() % 4;
      break;
    case MessageCode::kSetBrightness:
    case MessageCode::kSetContrast:
      change.value = static_cast<uint32_t>(static_cast<int32_t>(rng() % 101) - 50);
      break;
    default:
      change.value = rng() & 0xFFFFFF;
      break;
  }
  return change;
}

// Random local operations of every kind on the boards of a conference. While
// messages are on their way, a board only changes what it made itself (pages
// it added, objects it committed): concurrent conflicting edits of the same
// page are not ordered by the protocol. Once the conference is idle, anything
// goes.
class RandomOperations {
 public:
  // `undo`: now and then, with everyone caught up, several boards undo or
  // redo their own steps at once.
  explicit RandomOperations(InMemoryRelay& relay, bool undo = false) : relay_(relay), undo_(undo) {}

  // Every board adds pages of its own to work on concurrently.
  void addOwnPages(int perBoard) {
    for (size_t who = 0; who < relay_.size(); ++who) {
      for (int k = 0; k < perBoard; ++k) {
        if (const uint32_t id = relay_.board(who).addUserPage()) owned(who).pages.push_back(id);
      }
    }
  }

  void step() {
    std::mt19937& rng = relay_.rng();
    const size_t who = rng() % relay_.size();
    TestBoard& node = relay_.node(who);
    Board& board = *node.board;
    // Now and then a board works on anything, and everyone catches up before
    // the next operation; otherwise boards work concurrently on their own.
    const bool quiet = relay_.idle() && rng() % 2;
    if (undo_ && rng() % 12 == 0) {
      relay_.drain();
      for (size_t k = 0; k < relay_.size(); ++k) {
        Board& other = relay_.board(k);
        if (rng() % 3 == 0) continue;
        if (const uint32_t on = pickPage(other, k, rng() % 4 == 0)) other.goToPage(on, false);
        for (int n = 1 + static_cast<int>(rng() % 3); n > 0; --n) {
          if (rng() % 3 != 0) {
            other.undo();
          } else {
            other.redo();
          }
        }
      }
      relay_.drain();
      return;
    }
    const uint32_t page = pickPage(board, who, quiet);
    const int op = static_cast<int>(rng() % 100);
    if (op < 35) {
      const uint8_t kind = kCommittableKinds[rng() % std::size(kCommittableKinds)];
      auto object = makeObject(kind, rng, board.myUserId());
      // Page 0 would be the current page, which may be anybody's.
      if (object && page != 0) {
        const uint32_t id = board.commitObject(std::move(object), page);
        if (id) owned(who).objects.push_back({page, id});
      }
    } else if (op < 55) {
      if (const auto target = pickObject(board, who, quiet)) {
        board.changeObject(target->first, target->second, randomObjectChange(rng));
      }
    } else if (op < 62) {
      if (const auto target = pickObject(board, who, quiet)) {
        board.deleteObject(target->first, target->second);
      }
    } else if (op < 68) {
      const uint32_t id =
          board.addUserPage((rng() % 2) ? "" : "Page " + std::to_string(rng() % 100));
      if (id) owned(who).pages.push_back(id);
    } else if (op < 71) {
      if (const uint32_t id = board.addDocumentPage("doc\\page " + std::to_string(rng() % 100))) {
        owned(who).pages.push_back(id);
      }
    } else if (op < 75) {
      if (page != 0) board.renamePage(page, "Renamed " + std::to_string(rng() % 1000));
    } else if (op < 77) {
      if (rng() % 2) removeSomePage(node, who, quiet);
    } else if (op < 83) {
      if (page != 0 && rng() % 4 == 0) board.clearPage(page);
    } else if (op < 90) {
      if (page != 0) setBackground(node, page);
    } else if (op < 94) {
      if (page != 0) board.goToPage(page, true);
    } else if (op < 97) {
      // A template or none, as the background menu sets it.
      if (page != 0 && board.goToPage(page, true) == page) {
        board.setTemplateBackground((rng() % 2) ? "grid" : "nothing");
      }
    } else {
      board.applyScale(0.5f + 0.25f * static_cast<float>(rng() % 4));
    }
    if (quiet) relay_.drain();
  }

  // A picture file of the board's own, set as the page's background.
  void setBackground(TestBoard& node, uint32_t page) {
    std::mt19937& rng = relay_.rng();
    static constexpr const char* kExtensions[] = {".bmp", ".jpg", ".jpeg", ".gif"};
    const std::string source =
        "C:\\Pictures\\p" + std::to_string(rng() % 1000) + kExtensions[rng() % 4];
    Bytes bytes(static_cast<size_t>(1 + rng() % 40000));
    // Half the files compress (long runs), half do not.
    const bool runs = rng() % 2;
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = runs ? uint8_t(i / 97) : uint8_t(rng());
    node.files.files[source] = bytes;
    if (node.board->goToPage(page, true) == page) node.board->setBackgroundFile(source);
  }

 private:
  struct Owned {
    std::vector<uint32_t> pages;
    std::vector<std::pair<uint32_t, uint32_t>> objects;
  };
  // Boards may join after the operations started.
  Owned& owned(size_t who) {
    if (owned_.size() <= who) owned_.resize(who + 1);
    return owned_[who];
  }

  template <class T>
  std::optional<T> pickOne(const std::vector<T>& from) {
    if (from.empty()) return std::nullopt;
    return from[relay_.rng()() % from.size()];
  }
  // Pages this board added that still exist.
  const std::vector<uint32_t>& myPages(Board& board, size_t who) {
    std::erase_if(owned(who).pages, [&](uint32_t id) { return !board.findPage(id); });
    return owned(who).pages;
  }

  // A page this board may work on: one it added, or any page while quiet.
  uint32_t pickPage(Board& board, size_t who, bool quiet) {
    if (!quiet) return pickOne(myPages(board, who)).value_or(0);
    std::vector<uint32_t> all;
    for (const auto& p : board.pages()) all.push_back(p->id());
    return pickOne(all).value_or(0);
  }

  std::optional<std::pair<uint32_t, uint32_t>> pickObject(Board& board, size_t who, bool quiet) {
    std::vector<std::pair<uint32_t, uint32_t>> all;
    if (quiet) {
      for (const auto& p : board.pages())
        for (const auto& e : p->objects()) all.push_back({p->id(), e.id});
      return pickOne(all);
    }
    std::erase_if(owned(who).objects, [&](const auto& o) {
      const Page* p = board.findPage(o.first);
      return !p || !p->findObject(o.second);
    });
    return pickOne(owned(who).objects);
  }

  void removeSomePage(TestBoard& node, size_t who, bool quiet) {
    std::vector<uint32_t> users;
    for (const auto& p : node->pages())
      if (isUserPage(p->id())) users.push_back(p->id());
    const uint32_t page = pickOne(quiet ? users : myPages(*node, who)).value_or(0);
    if (page == 0) return;
    node.view.answer = MessageBoxAnswer::Yes;
    node->removePage(page, 0, true);
  }

  InMemoryRelay& relay_;
  bool undo_;
  std::vector<Owned> owned_;
};

// Shows every page of a board in turn and lets it catch up each one.
inline void visitEveryPage(InMemoryRelay& relay, Board& board) {
  std::vector<uint32_t> ids;
  for (const auto& page : board.pages()) ids.push_back(page->id());
  for (uint32_t id : ids) {
    board.goToPage(id, false);
    EXPECT_TRUE(relay.drain());
  }
}

// --- Recorded server input -----------------------------------------------------

// One step of the server's input: a message from a participant, or (with no
// bytes) the participant's arrival.
struct Input {
  uint32_t from = 0;
  Bytes bytes;
};

// A random server-mode conference with a late joiner catching up, as the
// server received it.
inline std::vector<Input> recordedConference(uint32_t seed, int operations) {
  InMemoryRelay relay(InMemoryRelay::Mode::Server, 3, seed, withTemplates());
  std::vector<Input> inputs;
  for (size_t i = 0; i < relay.size(); ++i) inputs.push_back({InMemoryRelay::userIdOf(i), {}});
  relay.onDeliver = [&](uint32_t from, uint32_t to, const Bytes& m) {
    if (to == InMemoryRelay::kServer) inputs.push_back({from, m});
  };
  RandomOperations ops(relay);
  ops.addOwnPages(2);
  for (int i = 0; i < operations; ++i) {
    if (i == operations / 2) {
      inputs.push_back({InMemoryRelay::userIdOf(relay.size()), {}});
      relay.join();
    }
    ops.step();
    for (int d = static_cast<int>(relay.rng()() % 8); d > 0 && relay.deliverOne(); --d) {
    }
  }
  EXPECT_TRUE(relay.drain());
  // The joiner shows every page, asking for what it lacks.
  visitEveryPage(relay, relay.board(relay.size() - 1));
  return inputs;
}

// One delivery of a server.
struct Output {
  uint32_t to = 0;
  Bytes bytes;
  bool operator==(const Output&) const = default;
};

// A server whose deliveries are kept, for comparison.
struct Recorder {
  explicit Recorder(RelayServerLimits limits = {.idRangeSize = 64})
      : server(
            [this](uint32_t to, std::span<const uint8_t> m) {
              out.push_back({to, Bytes(m.begin(), m.end())});
            },
            limits) {}
  void play(std::span<const Input> inputs) {
    for (const Input& in : inputs) {
      if (in.bytes.empty()) {
        server.connect(in.from);
      } else {
        server.receive(in.from, in.bytes);
      }
    }
  }
  std::vector<Output> out;
  RelayServer server;
};

}  // namespace scribly::testing
