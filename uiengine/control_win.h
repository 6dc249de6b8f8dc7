#pragma once
// One engine control: a real window (the engine's own class for windows,
// panels, buttons, images and the capture element; the nearest standard
// control for the rest, subclassed) that offers every message to its owner
// first and then gives the engine's messages their effect. This is the part
// every kind shares; each kind adds its own fields and messages in its own
// file (control_kinds_win.h makes the right one for a type row).
#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "skin/attribute_values.h"
#include "skin/control_types.h"
#include "skin/ui_engine_win.h"
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

// A row of a table of messages: the message and the member that gives it its
// effect.
template <class Kind>
struct MessageHandler {
  UINT message;
  LRESULT (Kind::*handle)(WPARAM, LPARAM);
};

// Runs the handler `table` holds for `message`; none when it holds no row.
template <class Kind, size_t N>
std::optional<LRESULT> runHandler(Kind& self, const MessageHandler<Kind> (&table)[N], UINT message,
                                  WPARAM wParam, LPARAM lParam) {
  for (const MessageHandler<Kind>& row : table)
    if (row.message == message) return (self.*row.handle)(wParam, lParam);
  return std::nullopt;
}

class Control : public SkinControl {
 public:
  Control(Engine& engine, const ControlType& type, ControlKind kind, SkinControlOwner* owner);
  virtual ~Control();
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
  COLORREF backgroundColour() const;
  // The first control in pre-order below and including this one named `name`.
  Control* find(std::string_view name);

  // Tips: showTipsWith names the tooltip that shows the tips of the controls
  // below this one; addTipTo has `tooltip` show this control's own tip.
  void showTipsWith(HWND tooltip) { tooltip_ = tooltip; }
  const std::string& tip() const { return tip_; }
  void addTipTo(HWND tooltip);

  // The window procedures of the engine's own class and of subclassed
  // standard controls.
  static LRESULT CALLBACK ownProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK subclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

 protected:
  Engine& engine() const { return engine_; }
  HWND hwnd() const { return window_; }
  // The text, shadow or background colour the skin gave; kNoColour for none.
  uint32_t colour(size_t which) const { return colours_[which]; }
  // A brush of the background colour, made once; a new colour replaces it.
  HBRUSH backgroundBrush();
  LRESULT callDefault(UINT message, WPARAM wParam, LPARAM lParam);
  // A click counts only on an element the user could click: it and every
  // window around it enabled.
  bool takesClicks() const;

  // What a kind changes about its window: the standard class it is made of
  // (none: the engine's own), styles it always has, what it does once made.
  virtual const wchar_t* standardClass() const { return nullptr; }
  virtual DWORD kindStyle() const { return 0; }
  virtual void created(HWND) {}
  // The kind's own messages, after the engine's common ones; none when the
  // kind leaves `message` to the window's default.
  virtual std::optional<LRESULT> kindMessage(UINT, WPARAM, LPARAM) { return std::nullopt; }
  // A notification this control's parent passes on to it; none when it has
  // no answer of its own.
  virtual std::optional<LRESULT> notified(NMHDR*) { return std::nullopt; }
  // Paints the client area of the engine's own class.
  virtual void draw(HDC) {}

 private:
  static LRESULT dispatch(Control* self, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT engineDefault(UINT message, WPARAM wParam, LPARAM lParam);
  // The window messages every kind answers alike.
  std::optional<LRESULT> commonMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The messages of the engine's own class.
  std::optional<LRESULT> ownClassMessage(UINT message, WPARAM wParam, LPARAM lParam);

  LRESULT onEvent(WPARAM, LPARAM) { return 0; }  // only the owner gives events a meaning
  LRESULT onCopyName(WPARAM buffer, LPARAM size);
  LRESULT onRecord(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(owner_); }
  LRESULT onFont(WPARAM points, LPARAM face);
  LRESULT onColour(WPARAM which, LPARAM colour);
  LRESULT onCursor(WPARAM, LPARAM name);
  LRESULT onTip(WPARAM, LPARAM text);

  // A control with a tip hands its mouse messages to the tooltip showing it.
  void relayToTooltip(UINT message, WPARAM wParam, LPARAM lParam);
  HBRUSH colourBrush(HDC dc);

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

  std::array<uint32_t, 3> colours_{kNoColour, kNoColour, kNoColour};
  Brush backBrush_;
  HCURSOR cursor_ = nullptr;
  Cursor loadedCursor_;
  Font font_;
  HFONT fontBorrowed_ = nullptr;  // from WM_SETFONT; its sender keeps it
  std::string tip_;
  HWND tooltip_ = nullptr;  // the tooltip that shows the tips of the controls below
  HWND shownBy_ = nullptr;  // a control with a tip: the tooltip that shows it

  friend class Engine;
};

// A skin's colour (red in the low byte, alpha above blue) as GDI takes it.
inline COLORREF rgbOf(uint32_t colour) { return colour & 0x00FFFFFF; }

}  // namespace scribly
