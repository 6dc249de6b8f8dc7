#pragma once
// The owner role of a relay node: for each conference whose lease this node
// holds, the one RelayServer that decides, fed from the conference's input log
// and writing its deliveries to the output log. Each owned conference runs on
// its own thread with its own Redis connections.
#include <cstdint>
#include <memory>
#include <string>

#include "relayd/owner_core.h"

namespace scribly {

class OwnerRole {
 public:
  OwnerRole(std::string redisHost, int redisPort, std::string node, OwnerOptions options = {});
  ~OwnerRole();  // stops owning every conference, without releasing leases
  OwnerRole(const OwnerRole&) = delete;
  OwnerRole& operator=(const OwnerRole&) = delete;

  // Starts owning the conference if nobody holds its lease (claim, then load
  // the snapshot and replay). Cheap when this node owns it already or another
  // node holds the lease. Safe from any thread.
  void ensure(const std::string& conference);
  bool owns(const std::string& conference) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace scribly
