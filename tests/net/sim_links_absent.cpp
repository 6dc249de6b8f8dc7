#include "tests/net/sim_transport.h"
namespace scribly::sim {
std::unique_ptr<Transport> linkTransport(asio::io_context&, const LinkSettings&,
                                         std::string* error) {
  *error = "built without relay links";
  return nullptr;
}
}  // namespace scribly::sim
