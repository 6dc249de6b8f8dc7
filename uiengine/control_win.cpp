#include "uiengine/control_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "skin/language_texts.h"
#include "skin/skin_layout.h"
#include "uiengine/control_fonts_win.h"
#include "uiengine/engine_win.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

constexpr wchar_t kOwnClass[] = L"ScriblySkinControl";
constexpr UINT_PTR kSubclassId = 1;
// A message box shows at most this many characters of text and caption.
constexpr size_t kMaxBoxText = 4096;
constexpr size_t kMaxBoxCaption = 512;

bool registerOwnClass() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX common = {sizeof common, ICC_WIN95_CLASSES | ICC_DATE_CLASSES |
                                                      ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&common);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = Control::ownProc;
    wc.hInstance = moduleInstance();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kOwnClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

// Texts the program hands over through a message: UTF-8 pointers in, wide
// pointers to the standard control.
bool carriesText(UINT message) {
  switch (message) {
    case WM_SETTEXT:
    case CB_ADDSTRING:
    case CB_INSERTSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING:
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case EM_REPLACESEL:
      return true;
    default:
      return false;
  }
}

}  // namespace

Control::Control(Engine& engine, const ControlType& type, ControlKind kind, SkinControlOwner* owner)
    : engine_(engine), type_(type), kind_(kind), owner_(owner) {}

Control::~Control() = default;

bool Control::createWindow(const char* caption, DWORD style, DWORD exStyle, const RECT& rect,
                           HWND parent) {
  if (!registerOwnClass()) return false;
  const std::wstring text = toWide(caption ? caption : "");
  const wchar_t* standard = standardClass();
  style |= kindStyle();
  // Child windows carry their id in the menu parameter; the loader sets the
  // real one afterwards with SetWindowLongPtr.
  HWND created =
      CreateWindowExW(exStyle, standard ? standard : kOwnClass, text.c_str(), style, rect.left,
                      rect.top, rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                      moduleInstance(), standard ? nullptr : this);
  if (!created) return false;
  window_ = created;
  if (!(style & WS_CHILD)) madeUnder_ = parent;
  if (standard) {
    subclassed_ = SetWindowSubclass(created, subclassProc, kSubclassId,
                                    reinterpret_cast<DWORD_PTR>(this)) != FALSE;
  }
  const Control* parentControl = engine_.control(parent);
  SendMessageW(created, WM_SETFONT,
               reinterpret_cast<WPARAM>(parentControl ? parentControl->font() : defaultFont()),
               FALSE);
  if (parent) this->created(parent);
  return true;
}

LRESULT CALLBACK Control::ownProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Control*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<Control*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  return dispatch(self, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Control::subclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR data) {
  return dispatch(reinterpret_cast<Control*>(data), hwnd, message, wParam, lParam);
}

LRESULT Control::dispatch(Control* self, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // What only our own code sends is refused from anywhere else before
  // anything reads its parameters or answers with an address.
  const MessageScope scope(hwnd, message, wParam, lParam);
  if (scope.refused()) return 0;
  // As the system does with owned windows: the pop-ups go first.
  if (message == WM_DESTROY) self->engine_.destroyPopupsOf(hwnd);
  ++self->depth_;
  LRESULT result = 0;
  try {
    result = self->handle(message, wParam, lParam);
  } catch (...) {
    result = self->callDefault(message, wParam, lParam);
  }
  --self->depth_;
  if (message == WM_NCDESTROY) {
    if (self->subclassed_) RemoveWindowSubclass(hwnd, subclassProc, kSubclassId);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->dead_ = true;
  }
  // A control destroyed from inside one of its own messages goes when the
  // outermost of them returns.
  if (self->dead_ && self->depth_ == 0) self->engine_.forget(hwnd);
  return result;
}

LRESULT Control::callDefault(UINT message, WPARAM wParam, LPARAM lParam) {
  if (subclassed_) return DefSubclassProc(window_, message, wParam, lParam);
  return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT Control::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (shownBy_) relayToTooltip(message, wParam, lParam);
  // A click on an element the user could not click does nothing, and a
  // click notice counts only from a control of ours inside this window.
  if ((message == kEngineClicked || message == BM_CLICK) && !takesClicks()) return 0;
  if (message == WM_COMMAND && wParam <= 0xFFFF && lParam) {
    const Control* child = engine_.control(reinterpret_cast<HWND>(lParam));
    if (!child || GetParent(child->window_) != window_ || !child->takesClicks()) return 0;
  }
  if (owner_) {
    BOOL handled = FALSE;
    const LRESULT result = owner_->onControlMessage(this, message, wParam, lParam, &handled);
    if (handled) return result;
  }
  return engineDefault(message, wParam, lParam);
}

LRESULT Control::engineDefault(UINT message, WPARAM wParam, LPARAM lParam) {
  // The engine messages every kind answers alike; the kinds' own come after
  // the window messages they all share.
  static constexpr MessageHandler<Control> kEngineMessages[] = {
      {kEngineInitialised, &Control::onEvent},
      {kEngineClicked, &Control::onEvent},
      {kEngineMenuCommand, &Control::onEvent},
      {kEngineCopyName, &Control::onCopyName},
      {kEngineControlRecord, &Control::onRecord},
      {kEngineFont, &Control::onFont},
      {kEngineColour, &Control::onColour},
      {kEngineCursor, &Control::onCursor},
      {kEngineTip, &Control::onTip},
  };
  if (auto result = runHandler(*this, kEngineMessages, message, wParam, lParam)) return *result;
  if (auto result = commonMessage(message, wParam, lParam)) return *result;
  if (auto result = kindMessage(message, wParam, lParam)) return *result;
  if (!subclassed_)
    if (auto result = ownClassMessage(message, wParam, lParam)) return *result;
  return callDefault(message, wParam, lParam);
}

std::optional<LRESULT> Control::commonMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // A click in a child: the child raises its own "onclick".
      if (wParam <= 0xFFFF && lParam) {
        SendMessageW(reinterpret_cast<HWND>(lParam), kEngineClicked, 0, 0);
        return 0;
      }
      break;
    case WM_NOTIFY:
      if (auto* header = reinterpret_cast<NMHDR*>(lParam))
        if (Control* child = engine_.control(header->hwndFrom)) return child->notified(header);
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      if (Control* child = engine_.control(reinterpret_cast<HWND>(lParam)))
        if (HBRUSH brush = child->colourBrush(reinterpret_cast<HDC>(wParam)))
          return reinterpret_cast<LRESULT>(brush);
      break;
    case WM_SETCURSOR:
      if (cursor_ && LOWORD(lParam) == HTCLIENT) {
        SetCursor(cursor_);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return std::nullopt;
}

std::optional<LRESULT> Control::ownClassMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PaintDc paint(window_);
      draw(paint.get());
      return 0;
    }
    case WM_PRINTCLIENT:
      draw(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_SETFONT:
      if (!font_) {
        // Borrowed: the owner of the font keeps it.
        fontBorrowed_ = reinterpret_cast<HFONT>(wParam);
      }
      if (lParam) InvalidateRect(window_, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font());
    case WM_SETTEXT:
    case WM_ENABLE: {
      const LRESULT result = callDefault(message, wParam, lParam);
      InvalidateRect(window_, nullptr, TRUE);
      return result;
    }
    default:
      return std::nullopt;
  }
}

LRESULT Control::onCopyName(WPARAM buffer, LPARAM size) {
  auto* to = reinterpret_cast<char*>(buffer);
  const size_t needed = name_.size() + 1;
  if (!to || static_cast<size_t>(size) < needed) return static_cast<LRESULT>(needed);
  std::memcpy(to, name_.c_str(), needed);
  return 0;
}

LRESULT Control::onFont(WPARAM points, LPARAM face) {
  if (!face) return 0;
  Font created =
      pointFont(nullptr, reinterpret_cast<const char*>(face),
                static_cast<int>(points) > 0 ? static_cast<int>(points) : 9, engine_.dpi());
  if (!created) return 0;
  font_ = std::move(created);
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  return 0;
}

LRESULT Control::onColour(WPARAM which, LPARAM colour) {
  if (which >= colours_.size()) return 0;
  colours_[which] = static_cast<uint32_t>(colour);
  if (which == kColourBack) backBrush_.reset(CreateSolidBrush(rgbOf(colours_[which])));
  InvalidateRect(window_, nullptr, TRUE);
  return 0;
}

LRESULT Control::onCursor(WPARAM, LPARAM name) {
  if (!name) return 0;
  const std::string_view which = reinterpret_cast<const char*>(name);
  const wchar_t* system = which == "hand"    ? IDC_HAND
                          : which == "arrow" ? IDC_ARROW
                          : which == "ibeam" ? IDC_IBEAM
                          : which == "cross" ? IDC_CROSS
                                             : nullptr;
  if (system) {
    cursor_ = LoadCursor(nullptr, system);
    return 0;
  }
  loadedCursor_.reset(LoadCursorFromFileW(toWide(engine_.resolveSkinFile(which)).c_str()));
  cursor_ = loadedCursor_.get();
  return 0;
}

LRESULT Control::onTip(WPARAM, LPARAM text) {
  if (!text) return 0;
  tip_ = reinterpret_cast<const char*>(text);
  // The tooltip of the nearest engine window above shows it.
  for (HWND w = window_; w; w = GetParent(w)) {
    const Control* above = engine_.control(w);
    if (above && above->tooltip_) {
      const Control* tooltip = engine_.control(above->tooltip_);
      if (tooltip && tooltip->kind_ == ControlKind::Tooltip) addTipTo(tooltip->window_);
      return 0;
    }
  }
  return 0;
}

void Control::addTipTo(HWND tooltip) {
  std::wstring text = toWide(tip_);
  TTTOOLINFOW info = {};
  info.cbSize = sizeof info;
  // No TTF_SUBCLASS: the tool relays its own mouse messages. The tooltip's
  // subclass record would stay behind whenever the tool's window goes first.
  info.uFlags = TTF_IDISHWND;
  info.hwnd = GetParent(window_) ? GetParent(window_) : window_;
  info.uId = reinterpret_cast<UINT_PTR>(window_);
  info.lpszText = text.data();
  SendMessageW(tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  shownBy_ = tooltip;
}

void Control::relayToTooltip(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      break;
    default:
      return;
  }
  // The tooltip may be gone before the tool, and its handle taken again.
  const Control* tooltip = engine_.control(shownBy_);
  if (!tooltip || tooltip->kind_ != ControlKind::Tooltip) return;
  const DWORD position = GetMessagePos();
  MSG relayed = {window_,
                 message,
                 wParam,
                 lParam,
                 static_cast<DWORD>(GetMessageTime()),
                 {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))}};
  SendMessageW(tooltip->window_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

bool Control::takesClicks() const {
  for (HWND w = window_; w; w = (GetWindowLongW(w, GWL_STYLE) & WS_CHILD) ? GetParent(w) : nullptr)
    if (!IsWindowEnabled(w)) return false;
  return true;
}

HFONT Control::font() const {
  if (font_) return font_.get();
  return fontBorrowed_ ? fontBorrowed_ : defaultFont();
}

COLORREF Control::backgroundColour() const {
  if (colours_[kColourBack] != kNoColour) return rgbOf(colours_[kColourBack]);
  if (kind_ != ControlKind::Window) {
    if (const Control* parent = engine_.control(GetParent(window_)))
      return parent->backgroundColour();
  }
  return RGB(246, 247, 249);
}

HBRUSH Control::colourBrush(HDC dc) {
  const bool text = colours_[kColourText] != kNoColour;
  if (!text && colours_[kColourBack] == kNoColour) return nullptr;
  if (text) SetTextColor(dc, rgbOf(colours_[kColourText]));
  const COLORREF back = backgroundColour();
  SetBkColor(dc, back);
  return backgroundBrush();
}

HBRUSH Control::backgroundBrush() {
  if (!backBrush_) backBrush_.reset(CreateSolidBrush(backgroundColour()));
  return backBrush_.get();
}

Control* Control::find(std::string_view name) {
  if (name_ == name) return this;
  Control* found = nullptr;
  // Pre-order over the windows below: each direct child, then its subtree.
  for (HWND child = GetWindow(window_, GW_CHILD); child && !found;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (Control* control = engine_.control(child)) found = control->find(name);
  }
  return found;
}

LRESULT __stdcall Control::sendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!window_) return 0;
  if (carriesText(message) && lParam) {
    const std::wstring wide = toWide(reinterpret_cast<const char*>(lParam));
    return SendMessageW(window_, message, wParam, reinterpret_cast<LPARAM>(wide.c_str()));
  }
  return SendMessageW(window_, message, wParam, lParam);
}

size_t __stdcall Control::getText(char* buffer, size_t size) {
  const int length = window_ ? GetWindowTextLengthW(window_) : 0;
  std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
  if (length > 0) GetWindowTextW(window_, wide.data(), length + 1);
  wide.resize(static_cast<size_t>(std::max(length, 0)));
  const std::string text = fromWide(wide);
  if (buffer && size > 0) {
    const std::string_view cut = cutUtf8(text, size - 1);
    std::memcpy(buffer, cut.data(), cut.size());
    buffer[cut.size()] = '\0';
  }
  return text.size();
}

void __stdcall Control::setText(const char* text) {
  if (window_) SetWindowTextW(window_, toWide(text ? text : "").c_str());
}

void __stdcall Control::show(int command) {
  if (window_) ShowWindow(window_, command);
}

void __stdcall Control::enable(BOOL enabled) {
  if (window_) EnableWindow(window_, enabled);
}

void __stdcall Control::move(int x, int y, int width, int height) {
  if (window_) MoveWindow(window_, x, y, width, height, TRUE);
}

int __stdcall Control::messageBox(const char* textKey, const char* captionKey, UINT flags) {
  const LanguageTexts& texts = engine_.texts();
  const std::wstring text =
      toWide(cutUtf8(texts.text(textKey ? textKey : ""), kMaxBoxText * 3)).substr(0, kMaxBoxText);
  const std::wstring caption =
      toWide(cutUtf8(texts.text(captionKey ? captionKey : ""), kMaxBoxCaption * 3))
          .substr(0, kMaxBoxCaption);
  return MessageBoxW(window_, text.c_str(), caption.c_str(), flags);
}

void __stdcall Control::setName(const char* name) { name_ = name ? name : ""; }

}  // namespace scribly
