#pragma once
// One page of the board: its objects in drawing order and its background.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "board/board_seams.h"
#include "objects/board_object.h"

namespace scribly {

// Pages 1 to 6 always exist; anything above 6, taken unsigned, is a user or
// document page (the peer-to-peer counters' negative ids included).
constexpr uint32_t kFirstSystemPage = 1;
constexpr uint32_t kLastSystemPage = 6;
constexpr bool isSystemPage(uint32_t id) { return id >= kFirstSystemPage && id <= kLastSystemPage; }
constexpr bool isUserPage(uint32_t id) { return id > kLastSystemPage; }

// Names hold at most 255 bytes (256 with the terminator on the wire).
constexpr size_t kMaxPageNameBytes = 255;
constexpr uint32_t kPaperWhite = 0xFFFFFF;
constexpr uint32_t kDefaultPageSide = 1200;
constexpr uint32_t kMinPageSide = 100;
// The background template every new page takes when the frame has one.
constexpr std::string_view kDefaultTemplateName = "default";

// The default name of a page created without one.
std::string defaultPageName(uint32_t id);

// Values by nonzero id in one flat table (open addressing, linear probing,
// at most half full): a lookup reads a slot or two next to each other where
// a node-based map follows pointers, which counts once a conference holds
// many boards and their pages no longer stay in the cache.
template <typename Value>
class IdTable {
 public:
  const Value* find(uint32_t id) const {
    const size_t slot = slotOf(id);
    return slot == kNone ? nullptr : &slots_[slot].value;
  }
  Value* find(uint32_t id) {
    const size_t slot = slotOf(id);
    return slot == kNone ? nullptr : &slots_[slot].value;
  }
  // False for id 0 and for an id the table holds already.
  bool insert(uint32_t id, Value value) {
    if (id == 0 || slotOf(id) != kNone) return false;
    if (2 * (size_ + 1) > slots_.size()) grow();
    size_t i = home(id);
    while (slots_[i].id != 0) i = (i + 1) & mask();
    slots_[i] = Slot{id, std::move(value)};
    ++size_;
    return true;
  }
  // The id must be in the table.
  void set(uint32_t id, Value value) { *find(id) = std::move(value); }
  bool erase(uint32_t id) {
    size_t hole = slotOf(id);
    if (hole == kNone) return false;
    // Later slots of the same run move back into the hole when their probe
    // passes it, so that no lookup stops short of them.
    for (size_t j = (hole + 1) & mask(); slots_[j].id != 0; j = (j + 1) & mask()) {
      if (((j - home(slots_[j].id)) & mask()) >= ((j - hole) & mask())) {
        slots_[hole] = std::move(slots_[j]);
        hole = j;
      }
    }
    slots_[hole] = Slot{};
    --size_;
    return true;
  }
  void clear() {
    slots_.clear();
    size_ = 0;
    bits_ = 0;
  }
  size_t size() const { return size_; }

 private:
  struct Slot {
    uint32_t id = 0;
    Value value{};
  };
  static constexpr size_t kNone = ~size_t{0};

  size_t mask() const { return slots_.size() - 1; }
  // Fibonacci hashing: ids that count up spread over the table.
  size_t home(uint32_t id) const {
    return static_cast<size_t>((uint64_t{id} * 0x9E3779B97F4A7C15u) >> (64 - bits_));
  }
  size_t slotOf(uint32_t id) const {
    if (id == 0 || size_ == 0) return kNone;
    for (size_t i = home(id);; i = (i + 1) & mask()) {
      if (slots_[i].id == id) return i;
      if (slots_[i].id == 0) return kNone;
    }
  }
  void grow() {
    std::vector<Slot> old = std::move(slots_);
    bits_ = bits_ < 4 ? 4 : bits_ + 1;
    slots_.assign(size_t{1} << bits_, Slot{});
    size_ = 0;
    for (Slot& slot : old)
      if (slot.id != 0) insert(slot.id, std::move(slot.value));
  }

  std::vector<Slot> slots_;
  size_t size_ = 0;
  unsigned bits_ = 0;
};

// A page's object with its id and, for kinds with bulk data, the bulk record
// exactly as it travelled (or as this board sent it), kept for later requests.
struct PageObject {
  uint32_t id = 0;
  std::unique_ptr<BoardObject> object;
  std::vector<uint8_t> bulk;
  // The object's pixels were turned since `bulk` was made.
  bool bulkStale = false;
  // What the page counts for the object: its pixels and its bulk record.
  size_t held = 0;
};

// A file of the background folder held by its page, deleted when the page
// lets go of it: replaced, withdrawn, or the page removed. A received file
// counts its size in `counted` while it exists.
class BackgroundFile {
 public:
  BackgroundFile(BoardFiles& files, std::string path, size_t* counted = nullptr, size_t size = 0);
  ~BackgroundFile();
  BackgroundFile(const BackgroundFile&) = delete;
  BackgroundFile& operator=(const BackgroundFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  BoardFiles& files_;
  std::string path_;
  size_t* counted_;
  size_t size_;
};

// The bytes of pixels an object holds: a picture's, none for other kinds.
size_t pixelBytesOf(const BoardObject& object);

class Page {
 public:
  Page(uint32_t id, std::string_view name, uint32_t width = kDefaultPageSide,
       uint32_t height = kDefaultPageSide);
  ~Page();
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;

  uint32_t id() const { return id_; }
  const std::string& name() const { return name_; }
  // An empty name gives the default one; longer names are cut.
  void setName(std::string_view name);
  uint32_t paperColour() const { return paperColour_; }
  // The page's size: its own, or as large as the background picture shown
  // on it when that is larger.
  Size size() const;

  // Objects, first drawn first. Closes the gaps removals left first, which
  // moves entries: a findEntry pointer lasts until the next change or call here.
  const std::vector<PageObject>& objects() const;
  size_t objectCount() const { return positions_.size(); }
  BoardObject* findObject(uint32_t id);
  const BoardObject* findObject(uint32_t id) const;
  PageObject* findEntry(uint32_t id);
  const PageObject* findEntry(uint32_t id) const;
  // Appends; refuses id 0, a null object and an id already on the page.
  bool addObject(uint32_t id, std::unique_ptr<BoardObject> object);
  // Takes the object out of the page; null when missing.
  std::unique_ptr<BoardObject> removeObject(uint32_t id);
  void clearObjects();
  // Keeps an object's bulk record, and counts it with the object's pixels.
  void keepBulk(PageObject& entry, std::vector<uint8_t> bulk);
  // Counts an object again after its pixels changed.
  void recount(PageObject& entry);
  // A turn changed an object's pixels: its kept bulk record is made again
  // from them when it is next asked for, so a turn costs no decoding.
  void turnedPixels(PageObject& entry);
  // The bulk record kept for an object (empty for none), made again first
  // when its pixels were turned since.
  const std::vector<uint8_t>& bulkOf(uint32_t id);
  // Bytes of pictures the page holds: its pictures' pixels and bulk records,
  // its background's kept envelope, decoded picture and scaled copy.
  size_t heldBytes() const;
  // Keeps `total` counting heldBytes() while the page lives, so a board
  // knows what all its pages hold without visiting them.
  void countHeldIn(size_t* total);

  // Background file state. The file lives in the board's background folder
  // (see Backgrounds::path and receivedPath); the picture is decoded only
  // while current.
  bool hasBackgroundFile() const { return hasBackgroundFile_; }
  uint32_t backgroundNumber() const { return backgroundNumber_; }
  uint32_t pendingBackgroundNumber() const { return pendingBackgroundNumber_; }
  const std::string& backgroundExtension() const { return backgroundExtension_; }
  // Where the background file is; empty without one.
  const std::string& backgroundPath() const;
  float scale() const { return scale_; }
  BackgroundPicture* backgroundPicture() const { return picture_.get(); }
  // The picture as it shows at the page's scale: the scaled copy, made here
  // the first time it is asked for, else the picture itself; null while no
  // picture file is loaded.
  const BackgroundPicture* shownPicture() const;
  // The enveloped format code and file bytes as they travelled, kept for
  // later requests; empty when not kept.
  const std::vector<uint8_t>& backgroundBulk() const { return backgroundBulk_; }
  // The template bitmap's name ("default" at creation when one exists).
  const std::string& templateName() const { return templateName_; }

  // Drops the decoded picture and resets the scale; the number stays only
  // when asked. The file flag and the extension stay, so the file reloads.
  void releaseBackground(bool keepNumber);
  // A peer announced a new background file under `number`; the old file goes.
  void announceBackground(uint32_t number);
  // A background file is now on disk under `number`; the old file goes.
  void installBackground(uint32_t number, std::string_view extension, std::vector<uint8_t> bulk,
                         std::unique_ptr<BackgroundFile> file);
  // Forgets the background file (a template replaces it, or it was withdrawn).
  void dropBackgroundFile();
  void setPicture(std::unique_ptr<BackgroundPicture> picture);
  // The size the picture shows at for the page's scale; its own size, or one
  // it cannot be resized to, shows the picture itself. The copy counts as
  // held from here, but is made only when first shown: a scale that changes
  // again before the page paints costs no resizing.
  void setScaledSize(Size size);
  void setScale(float scale) {
    scale_ = scale;
    touch();
  }
  void setTemplateName(std::string_view name) {
    templateName_ = std::string(name);
    touch();
  }

  // Changes whenever what the page shows may have changed: its objects, an
  // object's property (the board touches the page), its background. Values
  // never repeat, on any page, so that a kept picture of a page knows
  // whether it still shows it.
  uint64_t revision() const { return revision_; }
  void touch() const { revision_ = nextRevision(); }

 private:
  // Moves the entries after each gap down and renumbers them.
  void closeGaps() const;

  // A removal leaves a gap (an entry without an object) instead of moving
  // every later entry and its position: a busy page removes objects far more
  // often than anything walks it. The gaps close when walked, or once they
  // outnumber the objects.
  mutable std::vector<PageObject> objects_;
  mutable size_t gaps_ = 0;
  // Position in objects_ by id: every message names its object, and every
  // creation checks for a duplicate.
  mutable IdTable<size_t> positions_;
  // Brings the counter given to countHeldIn up to date.
  void reportHeld();

  size_t objectsHeld_ = 0;
  size_t* heldTotal_ = nullptr;
  size_t reportedHeld_ = 0;
  bool hasBackgroundFile_ = false;
  std::unique_ptr<BackgroundPicture> picture_;
  Size scaledSize_{};
  mutable std::unique_ptr<BackgroundPicture> scaled_;
  uint32_t backgroundNumber_ = 0;
  float scale_ = 1.0f;
  uint32_t pendingBackgroundNumber_ = 0;
  std::string backgroundExtension_;
  std::vector<uint8_t> backgroundBulk_;
  std::unique_ptr<BackgroundFile> file_;
  uint32_t id_;
  std::string name_;
  uint32_t paperColour_ = kPaperWhite;
  uint32_t width_;
  uint32_t height_;
  std::string templateName_;
  static uint64_t nextRevision();
  mutable uint64_t revision_ = nextRevision();
};

// The text that tells which page is shown: "<info> <folder or title> / <name>".
// A page named like a path ("notes.txt/3", a shared document's page) shows its
// folder; any other shows the title of its kind, system or user.
std::string pageInfoText(const Page& page, std::string_view info, std::string_view systemTitle,
                         std::string_view userTitle);

}  // namespace scribly
