#include "net/relay_link.h"
#include "relayd/join_token.h"
#include "tests/net/sim_transport.h"

namespace scribly::sim {
namespace {

class Links final : public Transport {
 public:
  Links(asio::io_context& io, std::vector<net::RelayAddress> relays,
        std::unique_ptr<TokenSigner> signer)
      : io_(io), relays_(std::move(relays)), signer_(std::move(signer)) {}

  void join(const Endpoint& e) override {
    net::RelayLinkOptions options;
    // Its own relay first, then the others in turn.
    for (size_t k = 0; k < relays_.size(); ++k)
      options.relays.push_back(relays_[(e.relay + k) % relays_.size()]);
    options.conference = e.conference;
    options.user = e.user;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    options.token = signer_->issue(
        e.conference, e.user, std::chrono::duration_cast<std::chrono::seconds>(now).count() + 3600,
        e.index);
    if (links_.size() <= e.index) links_.resize(e.index + 1);
    links_[e.index] = std::make_unique<net::RelayLink>(
        io_, std::move(options),
        net::RelayLink::Events{
            e.deliver, [ended = e.ended](net::LinkEnd, std::string_view why) { ended(why); },
            e.state});
    links_[e.index]->start();
  }

  void send(size_t index, std::span<const uint8_t> message) override {
    links_[index]->send(message);
  }

  bool settled() const override {
    for (const auto& link : links_) {
      if (link && link->stats().resendBytes != 0) return false;
    }
    return true;
  }

  LinkFigures figures(size_t index) const override {
    const auto s = links_[index]->stats();
    return {s.up, s.sent, s.resent, s.reconnects, s.lastOut};
  }

 private:
  asio::io_context& io_;
  std::vector<net::RelayAddress> relays_;
  std::unique_ptr<TokenSigner> signer_;
  std::vector<std::unique_ptr<net::RelayLink>> links_;
};

}  // namespace

std::unique_ptr<Transport> linkTransport(asio::io_context& io, const LinkSettings& settings,
                                         std::string* error) {
  std::vector<net::RelayAddress> relays;
  for (const std::string& text : settings.relays) {
    const auto address = net::parseRelayAddress(text);
    if (!address) {
      *error = "not a relay address: " + text;
      return nullptr;
    }
    relays.push_back(*address);
  }
  if (relays.empty()) {
    *error = "no relay given";
    return nullptr;
  }
  auto signer = TokenSigner::fromPrivateKeyFile(settings.keyFile, settings.keyId, error);
  if (!signer) return nullptr;
  return std::make_unique<Links>(io, std::move(relays), std::move(signer));
}

}  // namespace scribly::sim
