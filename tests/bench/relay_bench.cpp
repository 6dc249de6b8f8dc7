// How long a late joiner takes to catch up a page of 2 000 objects through
// the relay server: from its first message until the page is complete.
// Prints figures only.
#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/board.h"
#include "objects/image_object.h"
#include "objects/object_factory.h"
#include "objects/pencil_object.h"

#include "board/silent_surroundings.h"
#include "host/relay_server.h"

namespace scribly {
namespace {

class Participant final : public HostLink, public SilentSurroundings {
 public:
  explicit Participant(uint32_t userId)
      : SilentSurroundings(MessageBoxAnswer::Yes),
        userId(userId),
        board(BoardEnvironment{*this, *this, *this, *this, *this, nullptr},
              options()) {}
  static BoardOptions options() {
    BoardOptions o;
    o.peerToPeer = false;
    o.backgroundFolder = "C:\\bk\\";
    return o;
  }

  void sendTo(uint32_t, uint32_t, std::span<const uint8_t> m, uint32_t) override {
    toServer.emplace_back(m.begin(), m.end());
  }
  void hostMessage(uint32_t, std::span<const uint8_t>) override {}

  uint32_t userId;
  std::deque<std::vector<uint8_t>> toServer;
  std::deque<std::vector<uint8_t>> fromServer;
  Board board;
};

struct Traffic {
  size_t messages = 0;
  size_t bytes = 0;
};

class Conference {
 public:
  Conference()
      : server([this](uint32_t to, std::span<const uint8_t> m) {
          for (auto& p : people) {
            if (p->userId == to) p->fromServer.emplace_back(m.begin(), m.end());
          }
          if (to == watched) {
            traffic.messages++;
            traffic.bytes += m.size();
          }
        }) {}

  Participant& join(uint32_t userId) {
    people.push_back(std::make_unique<Participant>(userId));
    server.connect(userId);
    people.back()->board.initialize(userId, 0);
    return *people.back();
  }
  void settle() {
    for (bool moved = true; moved;) {
      moved = false;
      for (auto& p : people) {
        while (!p->toServer.empty() || !p->fromServer.empty()) {
          if (!p->toServer.empty()) {
            std::vector<uint8_t> m = std::move(p->toServer.front());
            p->toServer.pop_front();
            server.receive(p->userId, m);
          }
          if (!p->fromServer.empty()) {
            std::vector<uint8_t> m = std::move(p->fromServer.front());
            p->fromServer.pop_front();
            p->board.Dispatch(m);
          }
          moved = true;
        }
      }
    }
  }

  RelayServer server;
  std::vector<std::unique_ptr<Participant>> people;
  Traffic traffic;
  uint32_t watched = 0;
};

std::unique_ptr<BoardObject> object(std::mt19937& rng, int i, int picturesEvery) {
  auto coord = [&] { return int16_t(rng() % 1100); };
  if (picturesEvery > 0 && i % picturesEvery == 0) {
    auto img = std::make_unique<ImageObject>();
    std::vector<uint8_t> px(64 * 48 * 3);
    for (uint8_t& b : px) b = static_cast<uint8_t>(rng());
    img->attachPixels(std::move(px), 64, 48, {coord(), coord()}, {coord(), coord()});
    return img;
  }
  if (i % 3 == 0) {
    auto pencil = std::make_unique<PencilObject>();
    for (int k = 0; k < 40; ++k) pencil->addPoint({coord(), coord()});
    return pencil;
  }
  auto shape = ObjectFactory().create(i % 2 ? 12 : 11);
  shape->setPoints(PackedPoint::pack({coord(), coord()}), PackedPoint::pack({coord(), coord()}));
  return shape;
}

void run(const char* label, int objects, int picturesEvery) {
  std::mt19937 rng(7);
  Conference conf;
  Participant& ann = conf.join(101);
  conf.settle();
  const uint32_t page = ann.board.addUserPage();
  ann.board.goToPage(page, true);
  conf.settle();
  for (int i = 0; i < objects; ++i) {
    ann.board.commitObject(object(rng, i, picturesEvery), page);
    if (i % 16 == 0) conf.settle();
  }
  conf.settle();

  conf.watched = 102;
  const auto start = std::chrono::steady_clock::now();
  Participant& late = conf.join(102);
  conf.settle();
  const auto end = std::chrono::steady_clock::now();
  const Page* caught = late.board.findPage(page);
  const size_t got = caught ? caught->objects().size() : 0;
  const double ms = std::chrono::duration<double, std::milli>(end - start).count();
  std::printf("%-34s %5zu/%d objects  %8.1f ms  %7zu messages  %9.1f KiB to the joiner\n", label,
              got, objects, ms, conf.traffic.messages, conf.traffic.bytes / 1024.0);
}

}  // namespace
}  // namespace scribly

int main() {
  scribly::run("shapes and strokes", 2000, 0);
  scribly::run("with a picture every 20th object", 2000, 20);
  return 0;
}
