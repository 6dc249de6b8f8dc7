#pragma once
// The server of a server-relayed conference. Participants' boards send every
// message to the server (target 0); it grants id ranges, acknowledges queued
// messages, relays the whiteboard messages to everyone else and keeps a
// replica of the board, from which it answers joiners that catch up page by
// page. Transport-free: the host (or a test) hands it bytes and receives its
// deliveries through a callback. Protocol behaviour: relay/RELAY_SERVER.md.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace scribly {

class Board;
class ReplicaHost;

// Bounds of everything a participant can make the server hold.
struct RelayServerLimits {
  // Granted ids start here: clear of the system pages and of small test ids.
  uint32_t firstGrantedId = 0x10000;
  // Ids stay below the sign bit, where peer-to-peer boards count down from.
  uint32_t lastGrantedId = 0x7FFFFFFF;
  uint32_t idRangeSize = 4096;
  uint32_t maxGrantsPerParticipant = 4096;
  size_t maxParticipants = 256;
  // Transfers a participant may have open at once, and the bytes they hold.
  size_t maxOpenTransfers = 8;
  size_t maxOpenTransferBytes = size_t{160} << 20;
  // The replica's size: pages beyond the system ones, objects on all pages.
  size_t maxPages = 4096;
  size_t maxObjects = 500000;
  // Pictures' pixels and bulk records and backgrounds' envelopes, all pages
  // together: the replica holds what every participant sent.
  size_t maxPictureBytes = size_t{1} << 30;
  // Id ranges come from outside (a shared counter across relay processes)
  // through adoptGrant; id range requests are then left to that grantor.
  bool grantsFromOutside = false;
};

class RelayServer {
 public:
  // One message to one participant. The bytes are valid during the call only.
  using Deliver = std::function<void(uint32_t toUser, std::span<const uint8_t> message)>;

  explicit RelayServer(Deliver deliver, RelayServerLimits limits = {});
  ~RelayServer();
  // A message for everyone but its sender. Unset, it is delivered to each of
  // them in user order; a relay node whose edges fan out takes it once, and
  // only when somebody else is there to get it.
  using Relay = std::function<void(uint32_t fromUser, std::span<const uint8_t> message)>;
  void setRelay(Relay relay) { relay_ = std::move(relay); }
  RelayServer(const RelayServer&) = delete;
  RelayServer& operator=(const RelayServer&) = delete;

  // Admits a participant by its user id; false for 0, a user already in, or
  // a full conference.
  bool connect(uint32_t userId);
  // Forgets the participant and its unfinished transfers; its ids stay spent.
  void disconnect(uint32_t userId);
  bool connected(uint32_t userId) const { return participants_.count(userId) != 0; }
  size_t participantCount() const { return participants_.size(); }

  // One message from a participant, as its SendTo handed it over. Bytes from
  // users who are not connected are ignored.
  void receive(uint32_t fromUser, std::span<const uint8_t> message);

  // Records a range [start, end) granted outside for a participant and
  // sends it the grant, as its own grant would. Refused (false, nothing sent)
  // unless grantsFromOutside is set, the participant is in, and the range is
  // within the bounds, above every range granted so far and within the
  // participant's allowance.
  bool adoptGrant(uint32_t userId, uint32_t start, uint32_t end);

  // Everything the server decides from: participants with their ranges,
  // open transfers and shown pages, the grant counter, what joiners are told
  // beyond the replica's content, and the replica itself. Another server
  // with the same limits that restores it continues exactly as this one
  // would. restoreState takes hostile bytes: on any fault it answers false
  // and leaves the server as it was.
  std::vector<uint8_t> saveState() const;
  bool restoreState(std::span<const uint8_t> state);

  // The server's copy of the board, for inspection.
  const Board& replica() const;
  size_t openTransferBytes(uint32_t userId) const;
  size_t objectCount() const { return objectCount_; }

 private:
  struct IdRange {
    uint32_t start = 0;
    uint32_t end = 0;  // exclusive
  };
  // A transfer a participant is sending; the replica assembles the bytes.
  struct IncomingTransfer {
    uint32_t page = 0;
    uint32_t total = 0;
    uint32_t received = 0;
  };
  struct Participant {
    std::vector<IdRange> ranges;  // in grant order, so ascending
    std::map<uint32_t, IncomingTransfer> transfers;
    size_t openBytes = 0;
    // The page it showed last: where its missing items are looked up first.
    uint32_t shownPage = 0;
  };

  void send(uint32_t toUser, std::span<const uint8_t> message);
  void relay(uint32_t fromUser, std::span<const uint8_t> message);

  void grantRange(uint32_t user, Participant& p);
  bool ownsId(const Participant& p, uint32_t id) const;
  // Whether a whiteboard message may go on to the others and the replica.
  bool admits(Participant& p, uint8_t code, std::span<const uint8_t> message);
  bool admitsTransfer(Participant& p, uint8_t code, std::span<const uint8_t> message);
  void closeTransfersCutShort(Participant& p, uint8_t code, std::span<const uint8_t> message);

  std::unique_ptr<Board> makeReplica();
  void applyToReplica(uint8_t code, std::span<const uint8_t> message);
  void confirmRemoval(uint32_t user, uint8_t code, std::span<const uint8_t> message);
  void answerStateRequest(uint32_t user, std::span<const uint8_t> message);
  void answerPageShown(uint32_t user, Participant& p, std::span<const uint8_t> message);
  void answerMissingItem(uint32_t user, const Participant& p, std::span<const uint8_t> message);
  // The replica's creation message of an object without bulk data on a
  // page, kept until the object changes; empty when the page holds no such
  // object, or when the kept ones reached their bound.
  const std::vector<uint8_t>& keptCreation(uint32_t pageId, uint32_t id);
  // Forgets kept creations the message may have made stale.
  void forgetCreations(uint8_t code, std::span<const uint8_t> message);
  size_t countObjects() const;

  Deliver deliver_;
  Relay relay_;
  RelayServerLimits limits_;
  std::map<uint32_t, Participant> participants_;
  uint32_t nextGrant_;
  size_t objectCount_ = 0;
  // Pages created by a create-named-page message (document pages), so a
  // joiner learns them the same way.
  std::map<uint32_t, bool> documentPages_;
  // The latest template background by name per page (a file background
  // leaves the template as it is).
  std::map<uint32_t, std::vector<uint8_t>> namedBackgrounds_;
  std::vector<uint8_t> lastScale_;
  // Kept creations by object id, with their page: saving a record compresses
  // it, which would otherwise be done again for every joiner and object.
  struct KeptCreation {
    uint32_t page = 0;
    std::vector<uint8_t> message;
  };
  std::unordered_map<uint32_t, std::vector<KeptCreation>> creations_;
  size_t creationBytes_ = 0;
  // A lead has named its current page at least once.
  bool currentPageKnown_ = false;
  std::unique_ptr<ReplicaHost> replicaHost_;
  std::unique_ptr<Board> replica_;
};

}  // namespace scribly
