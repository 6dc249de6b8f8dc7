#pragma once
// One engine control: a real window (the engine's own class for windows,
// panels, buttons and images; the nearest standard control for the rest,
// subclassed) that offers every message to its owner first and then gives the
// engine-private messages their effect.
#include <windows.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "skin/control_types.h"
#include "skin/ui_engine_win.h"
#include "uiengine/item_markup.h"
#include "win/handles.h"
#include "win/message_origin.h"

namespace scribly {

class Engine;

// What implements a type row.
enum class ControlKind {
  Window,  // windows, panels and the types drawn as a plain area
  Button,
  StandardButton,  // check, radio, group
  Edit,
  Static,
  Image,
  Trackbar,
  Combo,
  Tooltip,
  Tree,
  List,
  ListView,
  Progress,
  DateTime,
  Calendar,
  Capture,
};

ControlKind controlKindOf(const ControlType& type);

class Control final : public SkinControl {
 public:
  Control(Engine& engine, const ControlType& type, SkinControlOwner* owner);
  ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // Makes the window; false when the system refused.
  bool createWindow(const char* caption, DWORD style, DWORD exStyle, const RECT& rect, HWND parent);

  LRESULT __stdcall sendMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  size_t __stdcall getText(char* buffer, size_t size) override;
  void __stdcall setText(const char* text) override;
  void __stdcall show(int command) override;
  void __stdcall enable(BOOL enabled) override;
  void __stdcall move(int x, int y, int width, int height) override;
  HWND __stdcall window() override { return window_; }
  int __stdcall messageBox(const char* textKey, const char* captionKey, UINT flags) override;
  void __stdcall setName(const char* name) override;
  SkinControlOwner* __stdcall owner() override { return owner_; }

  const std::string& name() const { return name_; }
  const ControlType& type() const { return type_; }
  ControlKind kind() const { return kind_; }
  HFONT font() const;
  // The first control in pre-order below and including this one named `name`.
  Control* find(std::string_view name);

  // The window procedures of the engine's own class and of subclassed
  // standard controls.
  static LRESULT CALLBACK ownProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK subclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

 private:
  static LRESULT dispatch(Control* self, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT engineDefault(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT callDefault(UINT message, WPARAM wParam, LPARAM lParam);
  // A click counts only on an element the user could click: it and every
  // window around it enabled.
  bool takesClicks() const;

  void click();
  void draw(HDC dc);
  void loadPicture(const char* file, uint32_t transparentKey, int size);
  void setFont(const char* face, int points);
  void setCursor(const char* name);
  void setTip(const char* text);
  void becomeTooltipOf(HWND window);
  void addTool(Control& tool);
  // A control with a tip hands its mouse messages to the tooltip showing it.
  void relayToTooltip(UINT message, WPARAM wParam, LPARAM lParam);
  HBRUSH colourBrush(HDC dc);
  COLORREF backgroundColour() const;
  bool transparentAt(POINT client) const;
  // Trees: their own messages, and the notifications their parent passes on.
  LRESULT treeMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT treeNotification(NMHDR* header);
  void loadTreePictures(const char* folder);
  void tipFromOwner(NMTVGETINFOTIPW* request);
  HFONT treeFont();
  // The font of a markup's face and size, made once per tree; null when the
  // markup names neither.
  HFONT markupFont(const ItemMarkup& markup);
  void applyItemLook(HTREEITEM item, const ItemMarkup& markup);
  // After the tree's own font changed: the faceless markup fonts follow it.
  void refreshItemLooks();
  // The capture element.
  LRESULT captureMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void startCapture(HWND reportTo, std::string path);
  void endCapture(bool take);

  // The queue of the window's thread is watched while the window lives.
  QueueWatch watch_;
  Engine& engine_;
  const ControlType& type_;
  ControlKind kind_;
  SkinControlOwner* owner_;
  HWND window_ = nullptr;
  // A pop-up's owner is the top-level window above the parent it was made
  // under, which may outlive that parent: it ends with the parent instead.
  HWND madeUnder_ = nullptr;
  bool subclassed_ = false;
  int depth_ = 0;      // messages of this window being handled
  bool dead_ = false;  // WM_NCDESTROY seen while depth_ > 0
  std::string name_;

  SIZE minSize_{}, maxSize_{};
  std::array<uint32_t, 3> colours_{kNoColourValue, kNoColourValue, kNoColourValue};
  Brush backBrush_;
  Bitmap picture_;
  SIZE pictureSize_{};
  uint32_t transparentKey_ = kNoColourValue;
  int iconSize_ = 0;
  POINT iconPosition_{-1, -1};
  POINT titlePosition_{-1, -1};
  bool stretch_ = false;
  bool hitTransparent_ = false;
  bool singleLine_ = false;
  HCURSOR cursor_ = nullptr;
  Cursor loadedCursor_;
  Icon icon_;
  Font font_;
  HFONT fontBorrowed_ = nullptr;  // from WM_SETFONT; its sender keeps it
  std::string tip_;
  HWND tooltip_ = nullptr;  // windows: the tooltip that shows their controls' tips
  HWND shownBy_ = nullptr;  // a control with a tip: the tooltip that shows it
  bool checked_ = false, pressed_ = false, hover_ = false;
  int splitMode_ = 0, splitLow_ = 0, splitHigh_ = 0;
  std::map<HTREEITEM, std::string> markups_;
  struct ItemLook {
    std::optional<COLORREF> colour;
    HFONT font = nullptr;  // in markupFonts_
  };
  std::map<HTREEITEM, ItemLook> itemLooks_;
  std::map<std::pair<std::string, int>, Font> markupFonts_;
  ImageList treePictures_;
  HTREEITEM editedItem_ = nullptr;
  bool labelEdited_ = false;  // the owner is yet to hear of a new label
  // Set while the program's own TVM_EDITLABEL runs: the only edits a tree
  // allows (the tree's own, on a slow second click, are refused).
  bool editAsked_ = false;
  Bitmap screen_;  // the still picture of the screen while capturing
  HWND captureReport_ = nullptr;
  std::string capturePath_;
  POINT dragFrom_{}, dragTo_{};
  bool dragging_ = false;

  static constexpr uint32_t kNoColourValue = 0xFFFFFFFF;

  friend class Engine;
};

}  // namespace scribly
