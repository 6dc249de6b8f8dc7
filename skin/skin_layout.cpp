#include "skin/skin_layout.h"

#include "skin/style_names.h"

namespace scribly {
namespace {

// Standard Win32 control messages the attributes map onto.
constexpr uint32_t kSetText = 0x000C;           // WM_SETTEXT
constexpr uint32_t kLimitText = 0x00C5;         // EM_LIMITTEXT
constexpr uint32_t kSetReadOnly = 0x00CF;       // EM_SETREADONLY
constexpr uint32_t kSetCheck = 0x00F1;          // BM_SETCHECK
constexpr uint32_t kClick = 0x00F5;             // BM_CLICK
constexpr uint32_t kSetDroppedWidth = 0x0160;   // CB_SETDROPPEDWIDTH
constexpr uint32_t kTrackSetPos = 0x0405;       // TBM_SETPOS
constexpr uint32_t kTrackSetRangeMin = 0x0407;  // TBM_SETRANGEMIN
constexpr uint32_t kTrackSetRangeMax = 0x0408;  // TBM_SETRANGEMAX
constexpr uint32_t kTrackSetPageSize = 0x0415;  // TBM_SETPAGESIZE

class Describer {
 public:
  explicit Describer(XmlElementHandle element) : e_(element) {}

  void base(ControlDescription& d, const ControlType& type) {
    d.type = &type;
    d.element = e_;
    d.name = attr("name");
    d.caption = attr("caption");
    d.rect = {number("x"), number("y"), number("width"), number("height")};
  }

  void windowMessages(ControlDescription& d) {
    if (has("font")) {
      const std::string_view font = attr("font");
      const size_t comma = font.find(',');
      const std::string_view face = font.substr(0, comma);
      const int32_t size =
          comma == std::string_view::npos ? 0 : readDecimal(font.substr(comma + 1));
      send(d, kEngineFont, size, 0, std::string(face));
    }
    pair(d, kEngineMinSize, "minwidth", "minheight");
    pair(d, kEngineMaxSize, "maxwidth", "maxheight");
    picture(d, "icon");
    pair(d, kEngineIconPosition, "iconx", "icony");
    pair(d, kEngineTitlePosition, "titlex", "titley");
    if (has("clientwidth") && has("clientheight"))
      d.clientSize = SkinSize{number("clientwidth"), number("clientheight")};
  }

  void controlMessages(ControlDescription& d) {
    const std::string_view type = d.type->name;
    const bool anyButton = type == "button" || type == "check" || type == "radio";
    if (type == "edit" || type == "editw") {
      if (has("max_len")) send(d, kLimitText, number("max_len"));
      if (has("number")) d.style |= kStyleEditNumber;
      if (flag("password")) d.style |= kStyleEditPassword;
      if (has("readonly")) send(d, kSetReadOnly, 1);
    }
    if (anyButton) {
      picture(d, "icon");
      pair(d, kEngineIconPosition, "iconx", "icony");
    }
    if (type == "check" && has("checked")) send(d, kSetCheck, 1);
    if (type == "radio" && has("checked")) send(d, kClick, 0);
    if (anyButton || type == "static") {
      colour(d, "color", kColourText);
      colour(d, "shadow_color", kColourShadow);
    }
    if (type == "button" && has("cursor")) send(d, kEngineCursor, 0, 0, attr("cursor"));
    if (type == "image") {
      picture(d, "src");
      if (attr("mode") == "stretch") send(d, kEngineStretch, 1);
      if (has("hit_transparent")) send(d, kEngineHitTransparent, flag("hit_transparent"));
    }
    if (type == "trackbar") {
      if (has("range_min")) send(d, kTrackSetRangeMin, 1, number("range_min"));
      if (has("range_max")) send(d, kTrackSetRangeMax, 1, number("range_max"));
      if (has("pos")) send(d, kTrackSetPos, 1, number("pos"));
      if (has("page")) send(d, kTrackSetPageSize, 0, number("page"));
    }
    if (type == "static") {
      colour(d, "back_color", kColourBack);
      if (has("singleline")) send(d, kEngineSingleLine, flag("singleline"));
    }
    if (type == "combobox" || type == "comboboxw") {
      if (has("dropdown_height")) send(d, kEngineDropdownHeight, number("dropdown_height"));
      if (has("dropdown_width")) send(d, kSetDroppedWidth, number("dropdown_width"));
      if (has("caption")) send(d, kSetText, 0, 0, attr("caption"));
      if (has("readonly")) send(d, kSetReadOnly, 1);
      if (has("max_len")) send(d, kLimitText, number("max_len"));
    }
    if (type == "spliterbar") {
      if (attr("mode") == "horz") send(d, kEngineSplitMode, 1);
      if (attr("mode") == "vert") send(d, kEngineSplitMode, 0);
      if (has("range")) {
        const std::string_view range = attr("range");
        const size_t tilde = range.find('~');
        const int32_t high =
            tilde == std::string_view::npos ? 0 : readDecimal(range.substr(tilde + 1));
        send(d, kEngineSplitRange, readDecimal(range.substr(0, tilde)), high);
      }
    }
    if (type == "listctrl") {
      if (has("multi_selectable")) send(d, kEngineMultiSelect, flag("multi_selectable"));
      if (has("haveline")) send(d, kEngineHaveLines, flag("haveline"));
    }
    if (type == "vdtreelist") {
      if (has("haveline"))
        send(d, kEngineTreeListOption, uint64_t{kTreeListLines}, flag("haveline"));
      if (has("linecolor"))
        send(d, kEngineTreeListOption, uint64_t{kTreeListLineColour},
             parseColour(attr("linecolor")));
      if (has("sort")) send(d, kEngineTreeListOption, uint64_t{kTreeListSort}, flag("sort"));
    }
  }

  void tip(ControlDescription& d) {
    if (has("tip")) send(d, kEngineTip, 0, 0, attr("tip"));
  }

  XmlElementHandle element() const { return e_; }
  bool has(std::string_view name) const { return e_.attribute(name).present(); }
  bool flag(std::string_view name) const { return e_.boolAttribute(name); }
  const std::string& attr(std::string_view name) const { return e_.attribute(name).value(); }
  int32_t number(std::string_view name) const { return readDecimal(attr(name)); }

 private:
  static void send(ControlDescription& d, uint32_t code, uint64_t wParam, int64_t lParam = 0,
                   std::optional<std::string> text = std::nullopt) {
    d.messages.push_back({code, wParam, lParam, std::move(text)});
  }
  static void send(ControlDescription& d, uint32_t code, int32_t wParam, int64_t lParam = 0,
                   std::optional<std::string> text = std::nullopt) {
    send(d, code, static_cast<uint64_t>(static_cast<uint32_t>(wParam)), lParam, std::move(text));
  }
  static void send(ControlDescription& d, uint32_t code, bool wParam) {
    send(d, code, uint64_t{wParam});
  }

  // Two numbers in one message; either alone still counts, the other reads 0.
  void pair(ControlDescription& d, uint32_t code, std::string_view first, std::string_view second) {
    if (has(first) || has(second)) send(d, code, number(first), number(second));
  }
  // A picture file with its transparent colour and, for icons, its size.
  void picture(ControlDescription& d, std::string_view fileAttribute) {
    if (!has(fileAttribute)) return;
    const uint32_t key = has("transparent_key") ? parseColour(attr("transparent_key")) : kNoColour;
    const uint64_t size = static_cast<uint32_t>(number("iconsize"));
    send(d, kEnginePicture, uint64_t{key} | size << 32, 0, attr(fileAttribute));
  }
  void colour(ControlDescription& d, std::string_view name, uint32_t which) {
    if (has(name)) send(d, kEngineColour, uint64_t{which}, parseColour(attr(name)));
  }

  XmlElementHandle e_;
};

class TreeBuilder {
 public:
  explicit TreeBuilder(ControlIds& ids) : ids_(ids) {}

  void addChildren(XmlElementHandle parent, ControlDescription& into) {
    for (XmlElementHandle child = parent.firstChild(); child; child = child.nextSibling()) {
      if (count_ >= kMaxControlsPerWindow) return;
      const ControlType* type = findControlType(child.name());
      if (!type) continue;
      ++count_;
      Describer describe(child);
      ControlDescription d;
      describe.base(d, *type);
      if (!describe.flag("noskin")) d.skinPart = child.child("skin");
      if (!describe.flag("nodata")) d.dataPart = child.child("data");
      d.id = describe.has("id") ? describe.number("id") : ids_.next();
      d.style = ((type->style | parseStyle(describe.attr("style_add"))) | kStyleVisible) &
                ~parseStyle(describe.attr("style_remove"));
      if (!(d.style & kStylePopup)) d.style |= kStyleChild;
      d.exStyle = (type->exStyle | parseExStyle(describe.attr("style_add"))) &
                  ~parseExStyle(describe.attr("style_remove"));
      describe.controlMessages(d);
      describe.tip(d);
      addChildren(child, d);
      into.children.push_back(std::move(d));
    }
  }

 private:
  ControlIds& ids_;
  size_t count_ = 0;
};

}  // namespace

std::optional<ControlDescription> describeWindow(XmlElementHandle element, ControlIds& ids) {
  const ControlType* type = findControlType(element.name());
  if (!type) return std::nullopt;
  Describer describe(element);
  ControlDescription window;
  describe.base(window, *type);
  window.style = (type->style | parseStyle(describe.attr("style_add"))) &
                 ~parseStyle(describe.attr("style_remove"));
  window.exStyle = (type->exStyle | parseExStyle(describe.attr("style_add"))) &
                   ~parseExStyle(describe.attr("style_remove"));
  // "panel" is the same engine control as "window".
  if (type->classNumber == findControlType("window")->classNumber)
    describe.windowMessages(window);
  else
    describe.controlMessages(window);
  describe.tip(window);

  ControlDescription tooltip;
  tooltip.type = findControlType("tooltip");
  tooltip.name = kWindowTooltipName;
  tooltip.style = tooltip.type->style;
  tooltip.exStyle = tooltip.type->exStyle;
  window.children.push_back(std::move(tooltip));

  TreeBuilder(ids).addChildren(element, window);
  return window;
}

void localiseDescription(ControlDescription& root, std::string_view pictureFolder,
                         const LanguageTexts& texts) {
  auto translate = [&](std::string& text) {
    if (texts.contains(text)) text = std::string(texts.text(text));
  };
  translate(root.caption);
  for (SkinMessage& m : root.messages) {
    if (!m.text) continue;
    if (m.code == kEngineTip) translate(*m.text);
    const std::string_view file = *m.text;
    const bool absolute =
        file.starts_with('\\') || file.starts_with('/') || (file.size() > 1 && file[1] == ':');
    if (m.code == kEnginePicture && !absolute && !file.empty())
      m.text = std::string(pictureFolder) + *m.text;
  }
  for (ControlDescription& child : root.children) localiseDescription(child, pictureFolder, texts);
}

const ControlDescription* findControl(const ControlDescription& root, std::string_view name) {
  if (root.name == name) return &root;
  for (const ControlDescription& child : root.children)
    if (const ControlDescription* found = findControl(child, name)) return found;
  return nullptr;
}

}  // namespace scribly
