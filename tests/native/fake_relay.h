#pragma once
// A relay played by a test on the test's own io_context: it accepts on a
// loopback port, keeps every frame each connection sent, and sends what the
// test tells it to, or what its `answer` hook returns.
#include <array>
#include <asio.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "net/frame.h"
#include "net/relay_link.h"

namespace scribly::net {

class FakeRelay {
 public:
  struct Connection {
    explicit Connection(asio::ip::tcp::socket s) : socket(std::move(s)) {}
    asio::ip::tcp::socket socket;
    FrameDecoder decoder;
    std::vector<Frame> frames;
    bool closedByPeer = false;
    std::array<uint8_t, 65536> buffer{};
  };

  explicit FakeRelay(asio::io_context& io)
      : acceptor_(io, {asio::ip::make_address_v4("127.0.0.1"), 0}) {
    accept();
  }

  RelayAddress address() const { return {"127.0.0.1", acceptor_.local_endpoint().port()}; }
  size_t connections() const { return connections_.size(); }
  Connection& last() { return *connections_.back(); }

  void send(const Frame& frame) {
    const std::vector<uint8_t> bytes = encode(frame);
    asio::error_code ignored;
    asio::write(last().socket, asio::buffer(bytes), ignored);
  }
  void drop() {
    asio::error_code ignored;
    last().socket.close(ignored);
  }

  // Called for every frame received; a frame it returns is sent back.
  std::function<std::optional<Frame>(const Frame&)> answer;

 private:
  void accept() {
    acceptor_.async_accept([this](const asio::error_code& ec, asio::ip::tcp::socket socket) {
      if (ec) return;
      asio::error_code ignored;
      socket.set_option(asio::ip::tcp::no_delay(true), ignored);
      connections_.push_back(std::make_shared<Connection>(std::move(socket)));
      read(connections_.back());
      accept();
    });
  }

  void read(std::shared_ptr<Connection> c) {
    c->socket.async_read_some(asio::buffer(c->buffer),
                              [this, c](const asio::error_code& ec, size_t n) {
                                if (ec) {
                                  c->closedByPeer = ec != asio::error::operation_aborted;
                                  return;
                                }
                                std::span<const uint8_t> input(c->buffer.data(), n);
                                while (auto frame = c->decoder.next(input)) {
                                  c->frames.push_back(*frame);
                                  if (!answer) continue;
                                  if (auto reply = answer(c->frames.back())) {
                                    const std::vector<uint8_t> bytes = encode(*reply);
                                    asio::error_code ignored;
                                    asio::write(c->socket, asio::buffer(bytes), ignored);
                                  }
                                }
                                read(c);
                              });
  }

  asio::ip::tcp::acceptor acceptor_;
  std::vector<std::shared_ptr<Connection>> connections_;
};

// Runs `io` until `done` holds or `limit` passes; answers whether it held.
template <class Done>
bool runUntil(asio::io_context& io, Done done,
              std::chrono::milliseconds limit = std::chrono::milliseconds{3000}) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    if (io.stopped()) io.restart();
    io.run_one_for(std::chrono::milliseconds{5});
  }
  return true;
}

}  // namespace scribly::net
