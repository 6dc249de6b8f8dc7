#pragma once
// The board: a façade that wires its parts (page list, id allocator,
// backgrounds, picture-turn replay, content report, the view's scrolling,
// the mouse deferral, the user-name cache) with the send queue, the reply
// backlog and the conference channel, and the dispatcher that applies a
// peer's message. Every local change is applied first and then sent; a
// peer's message runs the same operation without confirmations, privilege
// tests or sending.
//
// Everything runs on the thread that owns the frame window; nothing here locks.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "board/backgrounds.h"
#include "board/board_seams.h"
#include "board/content_report.h"
#include "board/id_allocator.h"
#include "board/mouse_deferral.h"
#include "board/page.h"
#include "board/page_list.h"
#include "board/picture_turn_replay.h"
#include "board/reply_backlog.h"
#include "board/undo_history.h"
#include "board/user_name_cache.h"
#include "board/view_scroll.h"
#include "collab/conference_channel.h"
#include "collab/message_codec.h"
#include "collab/message_header.h"
#include "collab/privileges.h"
#include "collab/send_queue.h"
#include "collab/transfer_table.h"
#include "objects/font_record.h"
#include "objects/object_factory.h"

namespace scribly {

// What the board talks to. All references must outlive the board.
struct BoardEnvironment {
  HostLink& host;
  BoardView& view;
  BoardFiles& files;
  PictureDecoder& pictures;
  HostInfo& hostInfo;
  // Measures text and hand-symbol boxes; may be null where no one looks at them.
  TextMeasurer* measurer = nullptr;
  // Converts user names for page names; null leaves them as they are.
  TextCodec* codec = nullptr;
  // Times the scroll broadcast; null takes a steady clock.
  MillisecondClock clock = nullptr;
};

struct BoardOptions {
  // The host's conference shape: peer-to-peer, or through a relay server.
  bool peerToPeer = true;
  // Where background files live, ending with a backslash: a folder of this
  // board's own.
  std::string backgroundFolder;
  // The background templates the frame loaded; "default" among them becomes
  // every new page's template.
  BackgroundTemplates templates;
  TransferLimits transferLimits;
  // Bounds on what peers can make this board hold.
  size_t maxPages = 10000;
  size_t maxObjectsPerPage = 100000;
  size_t maxCachedUsers = 1024;
  // Replies to a peer's message wait in a backlog while the queue holds this
  // many at their level, and move on as acknowledgements drain it.
  size_t maxQueuedReplies = 4096;
  // Replies the backlog keeps: a whole page's missing items and more.
  size_t maxReplyBacklog = 262144;
  // Ids of items this board removed itself, remembered so that it never asks
  // for them again (see Board::removedHere_).
  size_t maxRememberedRemovals = 65536;
  // Changes kept for pictures turned before their pixels arrived, all
  // pictures together (see PictureTurnReplay).
  size_t maxPendingTurnBytes = size_t{1} << 20;
  // Bytes of pictures the board holds (Page::heldBytes on every page). A
  // picture or background that would go past it is not decoded or kept: it
  // shows as if it had not arrived.
  size_t maxPictureBytes = size_t{512} << 20;
  // What received background files may take on disk together; one past it
  // is not written, and the page shows none.
  size_t maxReceivedBackgroundBytes = size_t{1} << 30;
  // Whether pages keep a received background's envelope in memory for later
  // requests, rather than read it back from its file: for boards without
  // files.
  bool keepBackgroundEnvelopes = false;
  // What the undo history may hold, all pages together: deleted objects
  // with their pixels, replaced backgrounds. The oldest steps go past it.
  size_t maxUndoBytes = size_t{64} << 20;
};

// Told when a peer's message changed a property of an object (any property
// change but `DeleteObject`), after the change was applied.
class ObjectChangeListener {
 public:
  virtual ~ObjectChangeListener() = default;
  virtual void peerChangedObject(uint32_t pageId, uint32_t objectId, MessageCode code) = 0;
};

// A page id of 0 in the operations below always means the current page.
class Board {
 public:
  Board(const BoardEnvironment& env, BoardOptions options);
  ~Board();
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  // --- Lifecycle -----------------------------------------------------------
  // The host's Initialize: my user id and the host-given peer id. Fetches my
  // user information and starts id allocation; outside peer-to-peer mode asks
  // for an id range (`IdRangeRequest`) and the state (`StateRequest`).
  void initialize(uint32_t myUserId, uint32_t hostId);
  // Back to six empty system pages with page 1 current; queue, transfers,
  // privileges and mirroring start over. Identity and the peer-to-peer id
  // counter stay: peers still hold the ids handed out before.
  void reset();
  bool peerToPeer() const { return options_.peerToPeer; }
  uint32_t myUserId() const { return myUserId_; }
  uint32_t hostId() const { return hostId_; }

  // --- Receiving -----------------------------------------------------------
  // Applies a peer's message; true when a handler consumed it. Any bytes are
  // accepted: malformed messages are ignored.
  bool dispatch(std::span<const uint8_t> message);

  // --- Privileges ----------------------------------------------------------
  void setPrivilegeWord(uint32_t word);
  uint32_t privilegeWord() const { return privilegeWord_; }
  const Privileges& privileges() const { return privileges_; }

  // --- Mirroring (host command 121) ----------------------------------------
  // On: reports the whole board to the host first (forced through the mirror
  // hook), then mirrors every content message sent or received. Off: stops.
  void setMirroring(bool on);
  bool mirroring() const { return channel_.mirroring(); }
  // The messages of the full-board report (see ContentReport::wholeBoard).
  std::vector<std::vector<uint8_t>> contentReport() const;

  // --- Pages ---------------------------------------------------------------
  const std::vector<std::unique_ptr<Page>>& pages() const { return pages_.pages(); }
  Page* findPage(uint32_t id) const { return pages_.find(id); }
  Page* currentPage() const { return pages_.current(); }
  uint32_t currentPageId() const { return pages_.currentId(); }
  Page* nextPage(uint32_t id) const { return pages_.next(id); }
  Page* previousPage(uint32_t id) const { return pages_.previous(id); }
  // Goes to page `id` (direction 0) or to the neighbour of the current page
  // (-1, 1); creates a missing target. Sends `CurrentPage` when lead and
  // `send`; outside peer-to-peer always sends `PageShown`. Answers the
  // current page id afterwards.
  uint32_t goToPage(uint32_t id, bool send, int direction = 0);
  // A local request for a new user page (needs the page privilege; sends
  // `AddPage`). Does not change the current page. Answers the page id, or 0.
  uint32_t addUserPage(std::string_view name = {});
  // Page ids are given by the allocator, never by the caller.
  uint32_t addUserPage(uint32_t, std::string_view = {}) = delete;
  // A page for a shared document's picture, made here and then announced
  // (`CreateNamedPage`). Answers its id, or 0 when none was made and nothing
  // was sent.
  uint32_t addDocumentPage(std::string_view name);
  // Local: privilege, system-page refusal and confirmation; sends
  // `RemovePage` for ids above 7. Replacement 0 chooses the neighbour of a current page.
  void removePage(uint32_t id, uint32_t replacement, bool local);
  void removePageSet(std::string_view documentName, std::span<const uint32_t> ids, bool local);
  // The contents panel's rename: names (or creates) the page and sends
  // `RenamePageAndRefresh`.
  bool renamePage(uint32_t id, std::string_view name);
  // Asks the others for what the current page holds (`PageShown`).
  void askPageContents();

  // --- Mouse state the page list needs -------------------------------------
  // A peer's page change during a press waits for the release.
  void pressMouse() { mouse_.press(); }
  void releaseMouse();
  uint32_t deferredPage() const { return mouse_.deferredPage(); }

  // --- Local content changes -----------------------------------------------
  // Adds an object to a page under a new id and sends its creation, and its
  // bulk record as a transfer when it has one. Answers the id, or 0 (the
  // object is then destroyed).
  uint32_t commitObject(std::unique_ptr<BoardObject> object, uint32_t pageId = 0);
  // Removes and destroys an object and sends `DeleteObject`.
  bool deleteObject(uint32_t pageId, uint32_t objectId);
  // Applies a property to an object and sends it when the object changed.
  bool changeObject(uint32_t pageId, uint32_t objectId, const ObjectChange& change);
  // Destroys a page's objects and sends `ClearPage`, or
  // `ClearPageWithBackground` when the page has a background file. Needs the
  // write privilege.
  bool clearPage(uint32_t pageId = 0);
  // Whether a person may set a page's background (the page privilege);
  // without it the refusal box shows.
  bool mayChangeBackground();
  // A picture file copied in as a page's background (a person's request: it
  // needs the page privilege). Sends the old background's withdrawal, the
  // `BackgroundAnnounce` and the enveloped file as a transfer.
  bool setBackgroundFile(const std::string& path, uint32_t pageId = 0);
  // The same for a shared document's page picture, whose file is moved in.
  bool setDocumentBackground(const std::string& path, uint32_t pageId);
  // The template picture a page tiles under its objects, or null.
  const BackgroundPicture* pageTemplate(const Page& page) const;
  // A named template as the current page's background; sends `DeleteObject`
  // and `SetBackgroundByName`.
  bool setTemplateBackground(std::string_view name);
  // A background scale factor for the current page; sends `BackgroundScale`.
  void applyScale(float factor);
  // The view's scroll offset for a bar (the negated position).
  int32_t scrollOffset(ScrollBar bar) const { return scroll_.offset(bar); }
  // The current page's size (see Page::size); the default side without one.
  Size pageSize() const { return scroll_.pageSize(); }
  // Calls `use` with the page as the view would show it if turned to now: a
  // page not shown gets its background picture, at the board's scale, for
  // the call only. Nothing is sent. (Exporting every page draws each so.)
  void withPageShown(const Page& page, const std::function<void(const Page&)>& use);
  // Paints what the view shows (see paintPage).
  void paint(Canvas& canvas, const Rect& area,
             const std::optional<Rect>& dirty = std::nullopt) const;

  // --- Undo -----------------------------------------------------------------
  // This participant's own steps on the current page, newest first: each is
  // applied here and sent as the messages the same change by hand sends.
  // A step a peer's later change made stale is gone from the history; one
  // that no longer applies at all is skipped. Needs the write privilege.
  bool undo();
  bool redo();
  bool canUndo() const;
  bool canRedo() const;

  // --- Queries for the relay server and the host ----------------------------
  // The messages that recreate one item of a page (an object id or the
  // background file number) on another board; empty when the page lacks it.
  std::vector<std::vector<uint8_t>> itemMessages(uint32_t pageId, uint32_t itemId,
                                                 BulkForm form) const;
  // The ids a page holds: objects in order, then its background file number.
  std::vector<uint32_t> pageContentIds(uint32_t pageId) const;
  // Bytes of received background files on disk.
  size_t receivedBackgroundBytes() const { return backgrounds_.receivedBytes(); }
  // Bytes of pictures all pages hold, which stay within maxPictureBytes.
  size_t heldPictureBytes() const;

  // --- User names ----------------------------------------------------------
  // A user's name from the host's user information (see UserNameCache).
  std::string userName(uint32_t userId) { return userNames_.nameOf(userId); }

  // --- Parts, for the frame and tests --------------------------------------
  BoardView& view() const { return env_.view; }
  TextMeasurer* measurer() const { return env_.measurer; }
  // One listener at a time; null stops the calls.
  void setChangeListener(ObjectChangeListener* listener) { changeListener_ = listener; }
  SendQueue& sendQueue() { return queue_; }
  IdAllocator& idAllocator() { return ids_; }
  const IdAllocator& idAllocator() const { return ids_; }
  TransferTable& transfers() { return transfers_; }
  const TransferTable& transfers() const { return transfers_; }
  const PictureTurnReplay& turnReplay() const { return turns_; }
  // The view's scroll bars: the frame hands them the view's size, scroll
  // requests and timer ticks.
  ViewScroll& scroll() { return scroll_; }

 private:
  // Between the queue and the conference; the place to watch what leaves.
  class Outlet final : public SendChannel {
   public:
    explicit Outlet(Board& board) : board_(board) {}
    void sendNow(std::span<const uint8_t> message, uint32_t hostLevel) override;
    void mirror(std::span<const uint8_t> message, bool force) override;

   private:
    Board& board_;
  };

  // Bulk data for the host's recording, as `BulkData`.
  void mirrorBulk(uint32_t pageId, uint32_t key, std::span<const uint8_t> data, bool force) const;
  void send(std::span<const uint8_t> message, uint32_t level);
  template <class M>
  void sendMessage(const M& message, uint32_t level);
  // Moves held-back replies into the queue as far as its cap allows.
  void sendBacklog();
  // The page an operation names: 0 is the current page.
  Page* pageOrCurrent(uint32_t pageId) const;
  // The allocator's next id that nothing here uses yet (0 when it has none):
  // a peer may have taken it first, and a page, object, background or
  // transfer under it would make this board's own item vanish.
  uint32_t freshId();
  bool idInUse(uint32_t id) const;
  void invalidateIfCurrent(const Page& page);
  void invalidateObject(const Page& page, const BoardObject& object);
  // What maxPictureBytes leaves.
  size_t pictureRoom() const;
  void loadBackgroundPicture(Page& page);

  // Peers' page and background requests, sharing the local operations' halves.
  void addPeerPage(uint32_t id, std::string_view name);
  bool renameOrCreatePage(std::string_view name, uint32_t id);
  bool applyTemplateBackground(std::string_view name, uint32_t pageId);
  void scaleBackground(Page& page, float factor, bool local);
  // The page's scale and the size its picture is shown at.
  void setPageScale(Page& page, float factor);
  bool installBackgroundFile(const std::string& path, Page& page, bool move);
  // The background file withdrawn locally: sends `DeleteObject` and forgets
  // it.
  void withdrawBackground(Page& page);
  void removeFromList(uint32_t id);
  // Withdraws the page's background file, if any, and makes a template (by
  // name, none when it is no template) the background; sends
  // `SetBackgroundByName`.
  void changeTemplate(Page& page, std::string_view name);
  // A background file of this board's own, sent to the others: its
  // announcement and its envelope as a transfer. `withdrawOld` first
  // withdraws the page's present file.
  void publishBackground(Page& page, uint32_t number, std::string_view extension,
                         std::vector<uint8_t> envelope, std::unique_ptr<BackgroundFile> file,
                         bool withdrawOld);

  // Undo: whether a local change now goes into the history, and the steps'
  // halves.
  bool recording() const { return !dispatching_ && !replaying_; }
  BackgroundState backgroundState(const Page& page) const;
  bool stepHistory(bool back);
  bool applyStep(Page& page, UndoStep& step, bool back);
  bool applyObjectsStep(Page& page, UndoStep& step);
  bool applyBackground(Page& page, const BackgroundState& state);
  // Takes an object off a page as a deletion does, into `item` with its
  // bulk record; false when the page does not have it.
  bool takeObject(Page& page, uint32_t objectId, UndoStep::Item& item);
  // commitObject's work; a kept bulk record goes out as it is.
  uint32_t placeObject(std::unique_ptr<BoardObject> object, Page* page, std::vector<uint8_t> bulk);

  // Receiving halves shared with local operations.
  bool receiveObject(uint8_t code, uint32_t pageId, uint32_t objectId,
                     std::span<const uint8_t> record);
  bool applyObjectChange(std::span<const uint8_t> message);
  void rememberRemoved(uint32_t id);
  void clearPageContent(Page& page);
  // A completed transfer or `BulkData` for a page: its background when the
  // key is the pending number, else an object's bulk record.
  bool acceptBulk(uint32_t pageId, uint32_t key, std::vector<uint8_t> data);
  bool installReceivedBackground(Page& page, uint32_t number, std::vector<uint8_t> envelope);
  void sendTransfer(uint32_t key, uint32_t pageId, std::span<const uint8_t> data);
  bool dispatchPageMessage(uint8_t code, std::span<const uint8_t> message);
  bool dispatchTransfer(uint8_t code, std::span<const uint8_t> message);
  // Sends a bar's position to the others (`Scroll`); only the lead's are sent.
  bool sendScrollPosition(ScrollBar bar, int32_t position);
  void handlePageContents(std::span<const uint8_t> message);

  BoardEnvironment env_;
  BoardOptions options_;
  ConferenceChannel channel_;
  Outlet outlet_;
  SendQueue queue_;
  IdAllocator ids_;
  TransferTable transfers_;
  ObjectFactory factory_;
  Backgrounds backgrounds_;
  PageList pages_;
  PictureTurnReplay turns_;
  ReplyBacklog backlog_;
  ViewScroll scroll_;
  MouseDeferral mouse_;
  UserNameCache userNames_;

  uint32_t privilegeWord_ = kInitialPrivilegeWord;
  Privileges privileges_;
  uint32_t myUserId_ = 0;
  uint32_t hostId_ = 0;

  ObjectChangeListener* changeListener_ = nullptr;
  // Set while a peer's message is applied: what the board sends then goes
  // through the reply backlog once the queue holds its cap.
  bool dispatching_ = false;
  // Set from the join's state request until this board first asks for a
  // page's contents: a conference whose lead never named a page answers
  // without one, and the page shown here must still be caught up.
  bool joinAnswerPending_ = false;

  // Items (objects, background files) this board removed itself, oldest
  // first, bounded. A page-contents list the server made before the removal
  // reached it still names them; asking for them would bring them back here
  // alone, as the server may get the request before the removal (a later
  // clear drops a delete still waiting in the queue). Ids are never reused.
  std::set<uint32_t> removedHere_;
  std::deque<uint32_t> removedOrder_;

  UndoHistory history_;
  // Set while a step is undone or redone: the changes it makes are not new
  // steps.
  bool replaying_ = false;
};

template <class M>
void Board::sendMessage(const M& message, uint32_t level) {
  const std::vector<uint8_t> bytes = build(message);
  send(bytes, level);
}

}  // namespace scribly
