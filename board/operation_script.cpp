#include "board/operation_script.h"

#include <charconv>
#include <map>

#include "board/board.h"
#include "board/pen_state.h"
#include "objects/hand_symbol_object.h"
#include "objects/image_object.h"
#include "objects/pencil_object.h"
#include "objects/text_object.h"

namespace scribly {
namespace {

constexpr size_t kMaxErrors = 8;
constexpr int32_t kMaxCoordinate = 32767;
constexpr uint32_t kMaxPictureSide = 1024;

// Words of one line.
std::vector<std::string_view> split(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

bool number(std::string_view word, int64_t& out) {
  bool negative = !word.empty() && word[0] == '-';
  if (negative) word.remove_prefix(1);
  int base = 10;
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    base = 16;
    word.remove_prefix(2);
  }
  uint64_t v = 0;
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v, base);
  if (ec != std::errc() || end != word.data() + word.size() || word.empty() || v > 0xFFFFFFFFull)
    return false;
  out = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  return true;
}

class Runner {
 public:
  Runner(Board& board, const ObjectFactory& factory, TextMeasurer* measurer)
      : board_(board), factory_(factory), measurer_(measurer) {}

  // Empty on success, else the reason.
  std::string run(const std::vector<std::string_view>& w) {
    const std::string_view op = w[0];
    static const std::map<std::string_view, uint8_t> shapes = {
        {"line", 11},   {"rect", 12},  {"ellipse", 13}, {"triangle", 16}, {"arrow", 20},
        {"darrow", 21}, {"half1", 22}, {"half2", 23},   {"half3", 24},    {"half4", 25}};
    if (auto s = shapes.find(op); s != shapes.end()) return shape(s->second, w);
    if (op == "pencil") return pencil(w);
    if (op == "text") return text(w);
    if (op == "hand") return hand(w);
    if (op == "picture") return picture(w);
    if (op == "colour" || op == "fill" || op == "width" || op == "style") return property(w);
    if (op == "move") return move(w);
    if (op == "delete") {
      uint32_t id = 0;
      if (w.size() != 2 || !objectRef(w[1], id)) return "delete @N";
      return board_.deleteObject(pageOf(id), id) ? "" : "no such object";
    }
    if (op == "addpage") {
      std::string name = rest(w, 1);
      return board_.addUserPage(name) ? "" : "page not added";
    }
    if (op == "page") {
      int64_t id;
      if (w.size() != 2 || !number(w[1], id) || id <= 0) return "page ID";
      board_.goToPage(static_cast<uint32_t>(id), true);
      return board_.currentPageId() == id ? "" : "page not shown";
    }
    if (op == "renamepage") {
      int64_t id;
      if (w.size() < 3 || !number(w[1], id) || id <= 0) return "renamepage ID NAME";
      return board_.renamePage(static_cast<uint32_t>(id), rest(w, 2)) ? "" : "not renamed";
    }
    if (op == "removepage") {
      int64_t id;
      if (w.size() != 2 || !number(w[1], id) || id <= 0) return "removepage ID";
      board_.removePage(static_cast<uint32_t>(id), 0, true);
      return board_.findPage(static_cast<uint32_t>(id)) ? "page still there" : "";
    }
    if (op == "clear") return board_.clearPage(0) ? "" : "not cleared";
    if (op == "background") {
      if (w.size() < 2) return "background PATH";
      return board_.setBackgroundFile(rest(w, 1), 0) ? "" : "background not set";
    }
    if (op == "scale") {
      int64_t code;
      if (w.size() != 2 || !number(w[1], code) || code < 0) return "scale CODE";
      board_.applyScale(scaleFactorOf(static_cast<uint32_t>(code)));
      return "";
    }
    return "unknown operation";
  }

 private:
  std::string commit(std::unique_ptr<BoardObject> object) {
    if (!object) return "object not made";
    const uint32_t page = board_.currentPageId();
    const uint32_t id = board_.commitObject(std::move(object), 0);
    if (!id) return "not committed";
    committed_.push_back({id, page});
    return "";
  }

  bool point(const std::vector<std::string_view>& w, size_t at, Point& p) {
    int64_t x, y;
    if (at + 1 >= w.size() || !number(w[at], x) || !number(w[at + 1], y)) return false;
    if (x < -kMaxCoordinate || x > kMaxCoordinate || y < -kMaxCoordinate || y > kMaxCoordinate)
      return false;
    p = {static_cast<int32_t>(x), static_cast<int32_t>(y)};
    return true;
  }

  bool settings(const std::vector<std::string_view>& w, size_t from, ToolSettings& s) {
    s.width = 3;
    s.colour = 0x0000FF;
    for (size_t i = from; i < w.size(); ++i) {
      size_t eq = w[i].find('=');
      int64_t v;
      if (eq == std::string_view::npos || !number(w[i].substr(eq + 1), v)) return false;
      std::string_view key = w[i].substr(0, eq);
      if (key == "colour")
        s.colour = static_cast<uint32_t>(v);
      else if (key == "fill")
        s.fill = static_cast<uint32_t>(v);
      else if (key == "width" && v >= 1 && v <= 255)
        s.width = static_cast<uint8_t>(v);
      else if (key == "style" && v >= 0 && v <= 4)
        s.style = static_cast<uint32_t>(v);
      else
        return false;
    }
    return true;
  }

  std::string shape(uint8_t tool, const std::vector<std::string_view>& w) {
    Point a, b;
    ToolSettings s;
    if (!point(w, 1, a) || !point(w, 3, b) || !settings(w, 5, s)) return "SHAPE X1 Y1 X2 Y2";
    ToolStart start = factory_.startFromTool(tool, a, s);
    if (!start.object) return "no such shape";
    start.object->moveHandle(start.dragHandle, b);
    return commit(std::move(start.object));
  }

  std::string pencil(const std::vector<std::string_view>& w) {
    Point p;
    if (!point(w, 1, p)) return "pencil X Y ...";
    ToolSettings s;
    s.width = 3;
    s.colour = 0x008000;
    ToolStart start = factory_.startFromTool(10, p, s);
    auto* stroke = dynamic_cast<PencilObject*>(start.object.get());
    if (!stroke) return "no pencil";
    for (size_t i = 3; i + 1 < w.size(); i += 2) {
      if (!point(w, i, p)) return "pencil X Y ...";
      stroke->addPoint(p);
    }
    return commit(std::move(start.object));
  }

  std::string text(const std::vector<std::string_view>& w) {
    Point p;
    if (!point(w, 1, p) || w.size() < 4) return "text X Y WORDS";
    auto object = factory_.create(15);
    if (!object) return "no text";
    object->setColour(0x010000);
    object->setFont(defaultPenFont());
    object->setText(rest(w, 3));
    object->moveTo(PackedPoint::pack(p));
    return commit(std::move(object));
  }

  std::string hand(const std::vector<std::string_view>& w) {
    Point p;
    if (w.size() != 3 || !point(w, 1, p)) return "hand X Y";
    auto object = std::make_unique<HandSymbolObject>(board_.myUserId(), p, measurer_);
    object->setFont(defaultPenFont());
    object->setColour(0x010000);
    object->setLabel(board_.userName(board_.myUserId()));
    return commit(std::move(object));
  }

  std::string picture(const std::vector<std::string_view>& w) {
    Point p;
    int64_t pw, ph;
    if (w.size() != 5 || !point(w, 1, p) || !number(w[3], pw) || !number(w[4], ph) || pw < 1 ||
        ph < 1 || pw > kMaxPictureSide || ph > kMaxPictureSide)
      return "picture X Y W H";
    const uint16_t width = static_cast<uint16_t>(pw), height = static_cast<uint16_t>(ph);
    const size_t stride = (size_t{width} * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> pixels(stride * height);
    for (uint16_t y = 0; y < height; ++y)
      for (uint16_t x = 0; x < width; ++x) {
        uint8_t* px = &pixels[y * stride + x * 3];
        px[0] = static_cast<uint8_t>(255 * x / width);                // blue across
        px[1] = static_cast<uint8_t>(255 * y / height);               // green down
        px[2] = static_cast<uint8_t>(((x / 16 + y / 16) & 1) * 200);  // red checks
      }
    auto image = std::make_unique<ImageObject>();
    if (!image->attachPixels(std::move(pixels), width, height, p, Point{p.x + width, p.y + height}))
      return "picture not made";
    return commit(std::move(image));
  }

  std::string property(const std::vector<std::string_view>& w) {
    uint32_t id = 0;
    int64_t v;
    if (w.size() != 3 || !objectRef(w[1], id) || !number(w[2], v)) return "PROPERTY @N VALUE";
    ObjectChange change;
    change.value = static_cast<uint32_t>(v);
    if (w[0] == "colour")
      change.code = MessageCode::kSetColor;
    else if (w[0] == "fill")
      change.code = MessageCode::kSetFill;
    else if (w[0] == "width")
      change.code = MessageCode::kSetWidth;
    else
      change.code = MessageCode::kSetStyle;
    return board_.changeObject(pageOf(id), id, change) ? "" : "not changed";
  }

  std::string move(const std::vector<std::string_view>& w) {
    uint32_t id = 0;
    Point p;
    if (w.size() != 4 || !objectRef(w[1], id) || !point(w, 2, p)) return "move @N X Y";
    ObjectChange change;
    change.code = MessageCode::kMoveTo;
    change.value = PackedPoint::pack(p).value;
    return board_.changeObject(pageOf(id), id, change) ? "" : "not moved";
  }

  bool objectRef(std::string_view word, uint32_t& id) {
    int64_t n;
    if (word.size() < 2 || word[0] != '@' || !number(word.substr(1), n)) return false;
    if (n < 1 || static_cast<size_t>(n) > committed_.size()) return false;
    id = committed_[n - 1].first;
    return true;
  }

  uint32_t pageOf(uint32_t id) const {
    for (const auto& [objectId, page] : committed_)
      if (objectId == id) return page;
    return 0;
  }

  static std::string rest(const std::vector<std::string_view>& w, size_t from) {
    std::string out;
    for (size_t i = from; i < w.size(); ++i) {
      if (!out.empty()) out += ' ';
      out.append(w[i]);
    }
    return out;
  }

  Board& board_;
  const ObjectFactory& factory_;
  TextMeasurer* measurer_;
  std::vector<std::pair<uint32_t, uint32_t>> committed_;  // object id, page
};

}  // namespace

ScriptResult runOperationScript(Board& board, const ObjectFactory& factory, std::string_view script,
                                TextMeasurer* measurer) {
  ScriptResult result;
  if (script.size() > kMaxScriptBytes) {
    result.failed = 1;
    result.errors.push_back("script too long");
    return result;
  }
  Runner runner(board, factory, measurer);
  size_t lineNumber = 0;
  while (!script.empty()) {
    size_t end = script.find('\n');
    std::string_view line = script.substr(0, end);
    script.remove_prefix(end == std::string_view::npos ? script.size() : end + 1);
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    auto words = split(line);
    if (words.empty() || words[0][0] == '#') continue;
    std::string error = runner.run(words);
    if (error.empty()) {
      ++result.applied;
    } else {
      ++result.failed;
      if (result.errors.size() < kMaxErrors)
        result.errors.push_back("line " + std::to_string(lineNumber) + ": " + error);
    }
  }
  return result;
}

}  // namespace scribly
