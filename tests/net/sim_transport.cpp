#include "tests/net/sim_transport.h"

#include <map>

namespace scribly::sim {
namespace {

// One relay server per conference, its deliveries posted to the same loop
// the links would use, so both modes pay for the same scheduling.
class InProcess final : public Transport {
 public:
  explicit InProcess(asio::io_context& io) : io_(io) {}

  void join(const Endpoint& e) override {
    auto& conference = conferences_[e.conference];
    if (!conference) {
      conference = std::make_unique<Conference>();
      Conference* c = conference.get();
      c->server = std::make_unique<RelayServer>([this, c](uint32_t to, std::span<const uint8_t> m) {
        const auto it = c->users.find(to);
        if (it != c->users.end()) post(it->second, {m.begin(), m.end()});
      });
    }
    conference->users[e.user] = e.index;
    if (endpoints_.size() <= e.index) endpoints_.resize(e.index + 1);
    endpoints_[e.index] = {e, conference.get()};
    conference->server->connect(e.user);
    if (e.state) e.state(true);
  }

  void send(size_t index, std::span<const uint8_t> message) override {
    ++pending_;
    asio::post(io_, [this, index, m = std::vector<uint8_t>(message.begin(), message.end())] {
      --pending_;
      auto& [endpoint, conference] = endpoints_[index];
      conference->server->receive(endpoint.user, m);
    });
  }

  bool settled() const override { return pending_ == 0; }
  LinkFigures figures(size_t) const override { return {}; }
  const RelayServer* server(const std::string& conference) const override {
    const auto it = conferences_.find(conference);
    return it == conferences_.end() ? nullptr : it->second->server.get();
  }

 private:
  struct Conference {
    std::unique_ptr<RelayServer> server;
    std::map<uint32_t, size_t> users;
  };
  void post(size_t index, std::vector<uint8_t> m) {
    ++pending_;
    asio::post(io_, [this, index, m = std::move(m)] {
      --pending_;
      endpoints_[index].first.deliver(m);
    });
  }

  asio::io_context& io_;
  std::map<std::string, std::unique_ptr<Conference>> conferences_;
  std::vector<std::pair<Endpoint, Conference*>> endpoints_;
  size_t pending_ = 0;
};

}  // namespace

std::unique_ptr<Transport> inProcessTransport(asio::io_context& io) {
  return std::make_unique<InProcess>(io);
}

}  // namespace scribly::sim
