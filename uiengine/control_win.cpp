#include "uiengine/control_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "skin/language_texts.h"
#include "skin/skin_layout.h"
#include "uiengine/engine_win.h"
#include "uiengine/item_markup.h"
#include "win/bitmap_file.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

constexpr wchar_t kOwnClass[] = L"ScriblySkinControl";
constexpr UINT_PTR kSubclassId = 1;
// A message box shows at most this many characters of text and caption.
constexpr size_t kMaxBoxText = 4096;
constexpr size_t kMaxBoxCaption = 512;
// Tips wrap at this width unless their markup gives one.
constexpr LPARAM kTipWidth = 360;
// From this many dots per inch on icons come from their 36-pixel twins.
constexpr int kDenseDpi = 144;
// A tree item in a large font takes at most this many rows.
constexpr int kMaxItemRows = 8;
// A tree posts this to itself to tell its owner of an edited label once the
// label is in place; one posted by anybody else finds no label waiting.
constexpr UINT kLabelEditedNote = WM_APP + 0x5C7;

struct KindRow {
  std::string_view type;
  ControlKind kind;
};
constexpr KindRow kKinds[] = {
    {"edit", ControlKind::Edit},
    {"editw", ControlKind::Edit},
    {"richedit", ControlKind::Edit},
    {"richview", ControlKind::Edit},
    {"static", ControlKind::Static},
    {"button", ControlKind::Button},
    {"linkbutton", ControlKind::Button},
    {"check", ControlKind::StandardButton},
    {"radio", ControlKind::StandardButton},
    {"group", ControlKind::StandardButton},
    {"combobox", ControlKind::Combo},
    {"comboboxw", ControlKind::Combo},
    {"listview", ControlKind::ListView},
    {"listctrl", ControlKind::ListView},
    {"datetimepicker", ControlKind::DateTime},
    {"listbox", ControlKind::List},
    {"messagelistbox", ControlKind::List},
    {"vdlist", ControlKind::List},
    {"vdiconlist", ControlKind::List},
    {"grouplist", ControlKind::List},
    {"treeview", ControlKind::Tree},
    {"vdtree", ControlKind::Tree},
    {"vdtreelist", ControlKind::Tree},
    {"vdtreegraph", ControlKind::Tree},
    {"image", ControlKind::Image},
    {"progressbar", ControlKind::Progress},
    {"trackbar", ControlKind::Trackbar},
    {"tooltip", ControlKind::Tooltip},
    {"calendarctrl", ControlKind::Calendar},
    {"capturescreen", ControlKind::Capture},
};

const wchar_t* standardClass(ControlKind kind) {
  switch (kind) {
    case ControlKind::StandardButton:
      return L"BUTTON";
    case ControlKind::Edit:
      return L"EDIT";
    case ControlKind::Static:
      return L"STATIC";
    case ControlKind::Combo:
      return L"COMBOBOX";
    case ControlKind::List:
      return L"LISTBOX";
    case ControlKind::Trackbar:
      return TRACKBAR_CLASSW;
    case ControlKind::Tooltip:
      return TOOLTIPS_CLASSW;
    case ControlKind::Tree:
      return WC_TREEVIEWW;
    case ControlKind::ListView:
      return WC_LISTVIEWW;
    case ControlKind::Progress:
      return PROGRESS_CLASSW;
    case ControlKind::DateTime:
      return DATETIMEPICK_CLASSW;
    case ControlKind::Calendar:
      return MONTHCAL_CLASSW;
    default:
      return nullptr;
  }
}

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

COLORREF rgbOf(uint32_t colour) { return colour & 0x00FFFFFF; }

// The message font of the system, shared by every control without a font of
// its own.
HFONT defaultFont() {
  static Font font = [] {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return Font(CreateFontIndirectW(&metrics.lfMessageFont));
  }();
  return font.get() ? font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// A face from skin or markup text: UTF-8, or else the code-page-936 bytes
// the document trees write their font name in; cut to what a LOGFONT holds,
// never inside a character.
std::wstring faceName(std::string_view face) {
  std::wstring wide = wideFromUtf8(face).value_or(toWide(face, kCodePageChinese));
  size_t n = std::min<size_t>(wide.size(), LF_FACESIZE - 1);
  if (n < wide.size() && n > 0 && IS_HIGH_SURROGATE(wide[n - 1])) --n;
  wide.resize(n);
  return wide;
}

// `base` (none: the system's choice at 9 points) with the face and the size
// in points at `dpi` put in where they are given.
Font pointFont(HFONT base, std::string_view face, int points, int dpi) {
  LOGFONTW description = {};
  if (!base || GetObjectW(base, sizeof description, &description) != sizeof description) {
    description = {};
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfHeight = -MulDiv(9, dpi, 72);
  }
  if (points > 0) {
    description.lfHeight = -MulDiv(points, dpi, 72);
    description.lfWidth = 0;
  }
  if (!face.empty()) {
    const std::wstring wide = faceName(face);
    const size_t n = wide.copy(description.lfFaceName, LF_FACESIZE - 1);
    description.lfFaceName[n] = L'\0';
    description.lfCharSet = DEFAULT_CHARSET;
  }
  description.lfQuality = CLEARTYPE_QUALITY;
  return Font(CreateFontIndirectW(&description));
}

void drawPicture(HDC dc, HBITMAP picture, SIZE size, uint32_t key, const RECT& to) {
  MemoryDc source(dc);
  ScopedSelect selected(source.get(), picture);
  const int width = to.right - to.left, height = to.bottom - to.top;
  if (key != 0xFFFFFFFF) {
    TransparentBlt(dc, to.left, to.top, width, height, source.get(), 0, 0, size.cx, size.cy,
                   rgbOf(key));
  } else {
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, to.left, to.top, width, height, source.get(), 0, 0, size.cx, size.cy, SRCCOPY);
  }
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

ControlKind controlKindOf(const ControlType& type) {
  for (const KindRow& row : kKinds)
    if (row.type == type.name) return row.kind;
  return ControlKind::Window;
}

Control::Control(Engine& engine, const ControlType& type, SkinControlOwner* owner)
    : engine_(engine), type_(type), kind_(controlKindOf(type)), owner_(owner) {}

Control::~Control() = default;

bool Control::createWindow(const char* caption, DWORD style, DWORD exStyle, const RECT& rect,
                           HWND parent) {
  if (!registerOwnClass()) return false;
  const std::wstring text = toWide(caption ? caption : "");
  const wchar_t* standard = standardClass(kind_);
  if (kind_ == ControlKind::Tooltip) style |= TTS_ALWAYSTIP | TTS_NOPREFIX;
  // Trees open and close their items and take new labels from the user.
  if (kind_ == ControlKind::Tree)
    style |= TVS_HASBUTTONS | TVS_EDITLABELS | TVS_SHOWSELALWAYS | TVS_INFOTIP;
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
  if (kind_ == ControlKind::Tooltip && parent) becomeTooltipOf(parent);
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
  const char* text = reinterpret_cast<const char*>(lParam);
  switch (message) {
    case kEngineInitialised:
    case kEngineClicked:
    case kEngineMenuCommand:
      return 0;  // events: only the owner gives them a meaning
    case kEngineCopyName: {
      auto* buffer = reinterpret_cast<char*>(wParam);
      const size_t needed = name_.size() + 1;
      if (!buffer || static_cast<size_t>(lParam) < needed) return static_cast<LRESULT>(needed);
      std::memcpy(buffer, name_.c_str(), needed);
      return 0;
    }
    case kEngineControlRecord:
      return reinterpret_cast<LRESULT>(owner_);
    case kEngineMinSize:
      minSize_ = {static_cast<LONG>(wParam), static_cast<LONG>(lParam)};
      return 0;
    case kEngineMaxSize:
      maxSize_ = {static_cast<LONG>(wParam), static_cast<LONG>(lParam)};
      return 0;
    case kEnginePicture:
      if (text) loadPicture(text, static_cast<uint32_t>(wParam), static_cast<int>(wParam >> 32));
      return 0;
    case kEngineFont:
      if (text) setFont(text, static_cast<int>(wParam));
      return 0;
    case kEngineColour:
      if (wParam < colours_.size()) {
        colours_[wParam] = static_cast<uint32_t>(lParam);
        if (wParam == kColourBack) backBrush_.reset(CreateSolidBrush(rgbOf(colours_[wParam])));
        InvalidateRect(window_, nullptr, TRUE);
      }
      return 0;
    case kEngineStretch:
      stretch_ = wParam != 0;
      InvalidateRect(window_, nullptr, TRUE);
      return 0;
    case kEngineHitTransparent:
      hitTransparent_ = wParam != 0;
      return 0;
    case kEngineCursor:
      if (text) setCursor(text);
      return 0;
    case kEngineTip:
      if (text) setTip(text);
      return 0;
    case kEngineDropdownHeight: {
      RECT r;
      GetWindowRect(window_, &r);
      SetWindowPos(window_, nullptr, 0, 0, r.right - r.left,
                   r.bottom - r.top + static_cast<int>(wParam), SWP_NOMOVE | SWP_NOZORDER);
      return 0;
    }
    case kEngineSplitRange:
      splitLow_ = static_cast<int>(wParam);
      splitHigh_ = static_cast<int>(lParam);
      return 0;
    case kEngineSplitMode:
      splitMode_ = static_cast<int>(wParam);
      return 0;
    case kEngineMultiSelect:
      if (kind_ == ControlKind::ListView) {
        const LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
        SetWindowLongPtrW(window_, GWL_STYLE,
                          wParam ? style & ~LVS_SINGLESEL : style | LVS_SINGLESEL);
      }
      return 0;
    case kEngineSingleLine:
      singleLine_ = wParam != 0;
      return 0;
    case kEngineHaveLines:
      if (kind_ == ControlKind::ListView)
        SendMessageW(window_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES,
                     wParam ? LVS_EX_GRIDLINES : 0);
      return 0;
    case kEngineTreeListOption:
      if (kind_ == ControlKind::Tree && wParam == kTreeListLines) {
        const LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
        SetWindowLongPtrW(window_, GWL_STYLE,
                          lParam ? style | TVS_HASLINES : style & ~TVS_HASLINES);
      }
      return 0;
    case TVM_EDITLABELW:
    case TVM_EDITLABELA:
      if (kind_ == ControlKind::Tree) {
        editAsked_ = true;
        const LRESULT edit = callDefault(message, wParam, lParam);
        editAsked_ = false;
        return edit;
      }
      break;
    case kTreeSetPictureFolder:
    case kTreeInsertItem:
    case kTreeGetItemMarkup:
    case kTreeSetItemMarkup:
      if (kind_ == ControlKind::Tree) return treeMessage(message, wParam, lParam);
      return 0;
    case kLabelEditedNote:
      if (kind_ == ControlKind::Tree && std::exchange(labelEdited_, false))
        SendMessageW(window_, kTreeNotify, 1, kTreeLabelEdited);
      return 0;
    case WM_SETFONT:
      if (kind_ == ControlKind::Tree) {
        const LRESULT result = callDefault(message, wParam, lParam);
        refreshItemLooks();
        return result;
      }
      break;
    case WM_NOTIFY:
      if (auto* header = reinterpret_cast<NMHDR*>(lParam)) {
        Control* child = engine_.control(header->hwndFrom);
        if (child && child->kind_ == ControlKind::Tree) return child->treeNotification(header);
      }
      break;
    case kEngineIconPosition:
      iconPosition_ = {static_cast<LONG>(wParam), static_cast<LONG>(lParam)};
      InvalidateRect(window_, nullptr, TRUE);
      return 0;
    case kEngineTitlePosition:
      titlePosition_ = {static_cast<LONG>(wParam), static_cast<LONG>(lParam)};
      return 0;
    case WM_COMMAND:
      // A click in a child: the child raises its own "onclick".
      if (wParam <= 0xFFFF && lParam) {
        SendMessageW(reinterpret_cast<HWND>(lParam), kEngineClicked, 0, 0);
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      if (Control* child = engine_.control(reinterpret_cast<HWND>(lParam)))
        if (HBRUSH brush = child->colourBrush(reinterpret_cast<HDC>(wParam))) {
          return reinterpret_cast<LRESULT>(brush);
        }
      if (message == WM_CTLCOLORSTATIC && kind_ == ControlKind::Window) {
        // Labels and check boxes take the panel's colour, not the system grey.
        SetBkColor(reinterpret_cast<HDC>(wParam), backgroundColour());
        if (!backBrush_) backBrush_.reset(CreateSolidBrush(backgroundColour()));
        return reinterpret_cast<LRESULT>(backBrush_.get());
      }
      break;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      if (minSize_.cx > 0) info->ptMinTrackSize.x = minSize_.cx;
      if (minSize_.cy > 0) info->ptMinTrackSize.y = minSize_.cy;
      if (maxSize_.cx > 0) info->ptMaxTrackSize.x = maxSize_.cx;
      if (maxSize_.cy > 0) info->ptMaxTrackSize.y = maxSize_.cy;
      return 0;
    }
    case WM_SETCURSOR:
      if (cursor_ && LOWORD(lParam) == HTCLIENT) {
        SetCursor(cursor_);
        return TRUE;
      }
      break;
    default:
      break;
  }
  if (subclassed_) return callDefault(message, wParam, lParam);

  // The engine's own class: windows, panels, buttons and images.
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
    case WM_NCHITTEST:
      if (hitTransparent_ && picture_) {
        POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ScreenToClient(window_, &p);
        if (transparentAt(p)) return HTTRANSPARENT;
      }
      break;
    default:
      break;
  }
  if (kind_ == ControlKind::Capture) return captureMessage(message, wParam, lParam);
  if (kind_ != ControlKind::Button) return callDefault(message, wParam, lParam);

  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      pressed_ = true;
      SetCapture(window_);
      InvalidateRect(window_, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP:
      if (pressed_) {
        pressed_ = false;
        if (GetCapture() == window_) ReleaseCapture();
        RECT client;
        GetClientRect(window_, &client);
        const POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        InvalidateRect(window_, nullptr, FALSE);
        if (PtInRect(&client, p)) click();
      }
      return 0;
    case WM_CAPTURECHANGED:
      pressed_ = false;
      InvalidateRect(window_, nullptr, FALSE);
      return 0;
    case WM_MOUSEMOVE:
      if (!hover_) {
        hover_ = true;
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window_, 0};
        TrackMouseEvent(&track);
        InvalidateRect(window_, nullptr, FALSE);
      }
      return 0;
    case WM_MOUSELEAVE:
      hover_ = false;
      InvalidateRect(window_, nullptr, FALSE);
      return 0;
    case BM_CLICK:
      click();
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (message == WM_KILLFOCUS && GetCapture() != window_) pressed_ = false;
      InvalidateRect(window_, nullptr, FALSE);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_BUTTON;
    case WM_KEYDOWN:
      // Space presses the focused button and clicks it as it comes up, as
      // the mouse does; Enter clicks at once.
      if (wParam == VK_SPACE && !pressed_) {
        pressed_ = true;
        InvalidateRect(window_, nullptr, FALSE);
      } else if (wParam == VK_RETURN) {
        click();
      }
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && pressed_) {
        pressed_ = false;
        InvalidateRect(window_, nullptr, FALSE);
        click();
      }
      return 0;
    case BM_GETCHECK:
      return checked_ ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
      checked_ = wParam == BST_CHECKED;
      InvalidateRect(window_, nullptr, FALSE);
      return 0;
    case BM_GETSTATE:
      return (checked_ ? BST_CHECKED : 0) | (pressed_ ? BST_PUSHED : 0) | (hover_ ? BST_HOT : 0);
    default:
      return callDefault(message, wParam, lParam);
  }
}

LRESULT Control::treeMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  auto* item = reinterpret_cast<HTREEITEM>(wParam);
  switch (message) {
    case kTreeSetPictureFolder:
      if (lParam) loadTreePictures(reinterpret_cast<const char*>(lParam));
      return 0;
    case kTreeInsertItem: {
      const auto* spec = reinterpret_cast<const TreeItemSpec*>(lParam);
      if (!spec || !spec->markup) return 0;
      const ItemMarkup markup = parseItemMarkup(spec->markup);
      std::wstring name = toWide(markup.name);
      TVINSERTSTRUCTW insert = {};
      insert.hParent = item ? item : TVI_ROOT;
      insert.hInsertAfter = spec->after ? spec->after : TVI_LAST;
      insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
      insert.item.pszText = name.data();
      insert.item.iImage = spec->image;
      insert.item.iSelectedImage = spec->selectedImage;
      insert.item.lParam = spec->data;
      auto* made = reinterpret_cast<HTREEITEM>(
          callDefault(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
      if (made) {
        markups_[made] = std::string(spec->markup).substr(0, kMaxItemMarkupBytes);
        applyItemLook(made, markup);
      }
      return reinterpret_cast<LRESULT>(made);
    }
    case kTreeGetItemMarkup: {
      auto it = markups_.find(item);
      const auto* text = reinterpret_cast<const TreeText*>(lParam);
      if (it == markups_.end() || !text) return 0;
      if (text->buffer && text->size > 0) {
        const std::string_view cut = cutUtf8(it->second, text->size - 1);
        std::memcpy(text->buffer, cut.data(), cut.size());
        text->buffer[cut.size()] = '\0';
      }
      return static_cast<LRESULT>(it->second.size());
    }
    case kTreeSetItemMarkup: {
      if (!lParam || markups_.find(item) == markups_.end()) return 0;
      const std::string markup =
          std::string(reinterpret_cast<const char*>(lParam)).substr(0, kMaxItemMarkupBytes);
      const ItemMarkup parsed = parseItemMarkup(markup);
      std::wstring name = toWide(parsed.name);
      TVITEMW change = {};
      change.mask = TVIF_TEXT;
      change.hItem = item;
      change.pszText = name.data();
      callDefault(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
      markups_[item] = markup;
      applyItemLook(item, parsed);
      InvalidateRect(window_, nullptr, TRUE);
      return 1;
    }
    default:
      return 0;
  }
}

LRESULT Control::treeNotification(NMHDR* header) {
  switch (header->code) {
    case NM_CUSTOMDRAW: {
      auto* draw = reinterpret_cast<NMTVCUSTOMDRAW*>(header);
      if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
      if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
      auto it = itemLooks_.find(reinterpret_cast<HTREEITEM>(draw->nmcd.dwItemSpec));
      if (it == itemLooks_.end()) return CDRF_DODEFAULT;
      if (it->second.colour && !(draw->nmcd.uItemState & CDIS_SELECTED))
        draw->clrText = *it->second.colour;
      if (!it->second.font) return CDRF_DODEFAULT;
      // The tree puts its own font back after the item.
      SelectObject(draw->nmcd.hdc, it->second.font);
      return CDRF_NEWFONT;
    }
    case NM_CLICK:
    case NM_RCLICK: {
      // The item under the pointer becomes current before the owner hears.
      TVHITTESTINFO hit = {};
      GetCursorPos(&hit.pt);
      ScreenToClient(window_, &hit.pt);
      auto* item = reinterpret_cast<HTREEITEM>(
          SendMessageW(window_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
      if (item) SendMessageW(window_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
      SendMessageW(window_, kTreeNotify, 1,
                   header->code == NM_CLICK ? kTreeClick : kTreeRightClick);
      return header->code == NM_RCLICK ? 1 : 0;
    }
    case TVN_GETINFOTIPW:
      tipFromOwner(reinterpret_cast<NMTVGETINFOTIPW*>(header));
      return 0;
    case TVN_BEGINLABELEDITW:
      if (!editAsked_) return TRUE;
      editedItem_ = reinterpret_cast<NMTVDISPINFOW*>(header)->item.hItem;
      return FALSE;
    case TVN_ENDLABELEDITW: {
      auto* edit = reinterpret_cast<NMTVDISPINFOW*>(header);
      // The tree may end one edit twice (the edit box losing the focus as it
      // goes): the owner hears of it once.
      const bool first = edit->item.hItem == editedItem_;
      editedItem_ = nullptr;
      if (!edit->item.pszText || !first) return edit->item.pszText != nullptr;
      auto it = markups_.find(edit->item.hItem);
      if (it != markups_.end())
        it->second = renameItemMarkup(it->second, fromWide(edit->item.pszText));
      // The new label is in place once this returns TRUE; the owner hears
      // after.
      labelEdited_ = true;
      PostMessageW(window_, kLabelEditedNote, 0, 0);
      return TRUE;
    }
    case TVN_DELETEITEMW: {
      const auto* removed = reinterpret_cast<NMTREEVIEWW*>(header);
      markups_.erase(removed->itemOld.hItem);
      itemLooks_.erase(removed->itemOld.hItem);
      return 0;
    }
    default:
      return 0;
  }
}

void Control::tipFromOwner(NMTVGETINFOTIPW* request) {
  if (!request->pszText || request->cchTextMax <= 0) return;
  request->pszText[0] = L'\0';
  // The owner writes a tip markup for the item under the pointer and answers
  // 2; the words inside its "font" elements are what the tip shows.
  std::array<char, kMaxTipMarkupBytes + 1> markup{};
  if (SendMessageW(window_, kTreeTipRequest, reinterpret_cast<WPARAM>(markup.data()),
                   static_cast<LPARAM>(kMaxTipMarkupBytes)) != kTipWritten)
    return;
  markup.back() = '\0';
  const TipMarkup tip = parseTipMarkup(markup.data());
  // The tree's tooltip measures the text with the font it has when it asks,
  // so the tip comes out sized to its font.
  if (const auto tooltip = reinterpret_cast<HWND>(callDefault(TVM_GETTOOLTIPS, 0, 0))) {
    const HFONT font = markupFont(tip);
    SendMessageW(tooltip, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : treeFont()), FALSE);
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, tip.width > 0 ? tip.width : kTipWidth);
    SendMessageW(tooltip, TTM_SETTIPTEXTCOLOR,
                 tip.colour != kNoColourValue ? rgbOf(tip.colour) : GetSysColor(COLOR_INFOTEXT), 0);
  }
  const std::wstring text = toWide(tip.name);
  const size_t n = std::min(text.size(), static_cast<size_t>(request->cchTextMax - 1));
  text.copy(request->pszText, n);
  request->pszText[n] = L'\0';
}

HFONT Control::treeFont() {
  const auto font = reinterpret_cast<HFONT>(callDefault(WM_GETFONT, 0, 0));
  return font ? font : defaultFont();
}

HFONT Control::markupFont(const ItemMarkup& markup) {
  if (markup.face.empty() && markup.size <= 0) return nullptr;
  auto key = std::make_pair(markup.face, std::max(markup.size, 0));
  auto it = markupFonts_.find(key);
  if (it == markupFonts_.end()) {
    Font made = pointFont(treeFont(), markup.face, markup.size, engine_.dpi());
    if (!made) return nullptr;
    it = markupFonts_.emplace(std::move(key), std::move(made)).first;
  }
  return it->second.get();
}

void Control::applyItemLook(HTREEITEM item, const ItemMarkup& markup) {
  ItemLook look;
  if (markup.colour != kNoColourValue) look.colour = rgbOf(markup.colour);
  look.font = markupFont(markup);
  if (look.colour || look.font)
    itemLooks_[item] = look;
  else
    itemLooks_.erase(item);
  // All rows of a tree are one height: an item in a taller font takes as many
  // as its letters need (the leading above them may be cut).
  int rows = 1;
  const int rowHeight = static_cast<int>(callDefault(TVM_GETITEMHEIGHT, 0, 0));
  if (look.font && rowHeight > 0) {
    ScreenDc screen;
    ScopedSelect selected(screen.get(), look.font);
    TEXTMETRICW metrics = {};
    if (GetTextMetricsW(screen.get(), &metrics))
      rows = std::clamp<int>(
          (metrics.tmHeight - metrics.tmInternalLeading + rowHeight - 1) / rowHeight, 1,
          kMaxItemRows);
  }
  TVITEMEXW change = {};
  change.mask = TVIF_HANDLE | TVIF_INTEGRAL;
  change.hItem = item;
  change.iIntegral = rows;
  callDefault(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
}

void Control::refreshItemLooks() {
  // The tooltip may hold one of the fonts about to go.
  if (const auto tooltip = reinterpret_cast<HWND>(callDefault(TVM_GETTOOLTIPS, 0, 0)))
    SendMessageW(tooltip, WM_SETFONT, reinterpret_cast<WPARAM>(treeFont()), FALSE);
  itemLooks_.clear();
  markupFonts_.clear();
  for (const auto& [item, markup] : markups_) applyItemLook(item, parseItemMarkup(markup));
}

void Control::loadTreePictures(const char* folder) {
  constexpr int kMaxPictures = 100;
  const int side = MulDiv(16, engine_.dpi(), 96);
  treePictures_.reset(ImageList_Create(side, side, ILC_COLOR32 | ILC_MASK, kMaxPictures, 0));
  if (!treePictures_) return;
  const std::wstring base = toWide(folder, kCodePageSystem) + L"\\";
  WindowDc screen(nullptr);
  for (int n = 0; n < kMaxPictures; ++n) {
    const std::wstring path = base + std::to_wstring(n) + L".bmp";
    Bitmap picture(static_cast<HBITMAP>(
        LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, side, side, LR_LOADFROMFILE)));
    // Missing numbers keep their place with an empty picture.
    if (!picture) picture.reset(CreateCompatibleBitmap(screen.get(), side, side));
    ImageList_AddMasked(treePictures_.get(), picture.get(), RGB(255, 0, 255));
  }
  SendMessageW(window_, TVM_SETIMAGELIST, TVSIL_NORMAL,
               reinterpret_cast<LPARAM>(treePictures_.get()));
}

LRESULT Control::captureMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  switch (message) {
    case kCaptureStart: {
      // The report, with the path, goes only to a window of this thread.
      const auto reportTo = reinterpret_cast<HWND>(wParam);
      if (lParam && reportTo && GetWindowThreadProcessId(reportTo, nullptr) == GetCurrentThreadId())
        startCapture(reportTo, reinterpret_cast<const char*>(lParam));
      return 0;
    }
    case WM_LBUTTONDOWN:
      dragging_ = true;
      dragFrom_ = dragTo_ = p;
      SetCapture(window_);
      return 0;
    case WM_MOUSEMOVE:
      if (dragging_) {
        dragTo_ = p;
        InvalidateRect(window_, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONUP:
      if (dragging_) {
        dragTo_ = p;
        endCapture(true);
      }
      return 0;
    case WM_RBUTTONUP:
      endCapture(false);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) endCapture(false);
      return 0;
    default:
      return callDefault(message, wParam, lParam);
  }
}

void Control::startCapture(HWND reportTo, std::string path) {
  captureReport_ = reportTo;
  capturePath_ = std::move(path);
  dragging_ = false;
  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  {
    WindowDc screen(nullptr);
    screen_.reset(CreateCompatibleBitmap(screen.get(), width, height));
    MemoryDc copy(screen.get());
    ScopedSelect selected(copy.get(), screen_.get());
    BitBlt(copy.get(), 0, 0, width, height, screen.get(), x, y, SRCCOPY);
  }
  SetWindowPos(window_, HWND_TOPMOST, x, y, width, height, SWP_SHOWWINDOW);
  SetForegroundWindow(window_);
  SetFocus(window_);
  SetCursor(LoadCursor(nullptr, IDC_CROSS));
}

void Control::endCapture(bool take) {
  dragging_ = false;
  if (GetCapture() == window_) ReleaseCapture();
  ShowWindow(window_, SW_HIDE);
  const RECT area = {std::min(dragFrom_.x, dragTo_.x), std::min(dragFrom_.y, dragTo_.y),
                     std::max(dragFrom_.x, dragTo_.x), std::max(dragFrom_.y, dragTo_.y)};
  const bool written = take && screen_ && area.right - area.left >= 2 &&
                       area.bottom - area.top >= 2 &&
                       writeBitmapFile(screen_.get(), area, capturePath_);
  screen_.reset();
  const HWND report = std::exchange(captureReport_, nullptr);
  if (!report) return;
  if (written)
    SendMessageW(report, kCaptureDone, reinterpret_cast<WPARAM>(capturePath_.c_str()), 0);
  else
    SendMessageW(report, kCaptureNone, 0, 0);
}

bool Control::takesClicks() const {
  for (HWND w = window_; w; w = (GetWindowLongW(w, GWL_STYLE) & WS_CHILD) ? GetParent(w) : nullptr)
    if (!IsWindowEnabled(w)) return false;
  return true;
}

void Control::click() {
  // As a standard button does: the parent hears of it, and an engine parent
  // answers with the click message to this button.
  HWND parent = GetParent(window_);
  if (parent && engine_.control(parent) && (GetWindowLongPtrW(window_, GWL_STYLE) & WS_CHILD)) {
    const int id = GetDlgCtrlID(window_);
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(window_));
  } else {
    SendMessageW(window_, kEngineClicked, 0, 0);
  }
}

HFONT Control::font() const {
  if (font_) return font_.get();
  return fontBorrowed_ ? fontBorrowed_ : defaultFont();
}

COLORREF Control::backgroundColour() const {
  if (colours_[kColourBack] != kNoColourValue) return rgbOf(colours_[kColourBack]);
  if (kind_ != ControlKind::Window) {
    if (const Control* parent = engine_.control(GetParent(window_)))
      return parent->backgroundColour();
  }
  return RGB(246, 247, 249);
}

HBRUSH Control::colourBrush(HDC dc) {
  const bool text = colours_[kColourText] != kNoColourValue;
  if (!text && colours_[kColourBack] == kNoColourValue) return nullptr;
  if (text) SetTextColor(dc, rgbOf(colours_[kColourText]));
  const COLORREF back = backgroundColour();
  SetBkColor(dc, back);
  if (!backBrush_) backBrush_.reset(CreateSolidBrush(back));
  return backBrush_.get();
}

void Control::draw(HDC dc) {
  if (kind_ == ControlKind::Capture) {
    RECT client;
    GetClientRect(window_, &client);
    MemoryDc source(dc);
    ScopedSelect picture(source.get(), screen_.get());
    BitBlt(dc, 0, 0, client.right, client.bottom, source.get(), 0, 0, SRCCOPY);
    if (dragging_) {
      Pen pen(CreatePen(PS_SOLID, 2, RGB(0, 120, 212)));
      ScopedSelect p(dc, pen.get()), b(dc, GetStockObject(NULL_BRUSH));
      Rectangle(dc, dragFrom_.x, dragFrom_.y, dragTo_.x, dragTo_.y);
    }
    return;
  }
  RECT client;
  GetClientRect(window_, &client);
  // Drawn off screen first so a pressed or hovered button does not flicker.
  MemoryDc memory(dc);
  Bitmap canvas(CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1),
                                       std::max<LONG>(client.bottom, 1)));
  ScopedSelect canvasSelected(memory.get(), canvas.get());
  HDC m = memory.get();
  {
    Brush back(CreateSolidBrush(backgroundColour()));
    FillRect(m, &client, back.get());
  }
  const bool enabled = IsWindowEnabled(window_);
  const int dpi = engine_.dpi();
  const auto scaled = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };
  if (kind_ == ControlKind::Button) {
    COLORREF fill = 0, edge = 0;
    bool frame = true;
    if (pressed_) {
      fill = RGB(196, 222, 247), edge = RGB(0, 103, 192);
    } else if (checked_) {
      fill = RGB(214, 232, 250), edge = RGB(0, 120, 212);
    } else if (hover_) {
      fill = RGB(232, 240, 250), edge = RGB(160, 190, 230);
    } else if (picture_) {
      frame = false;  // a tool button at rest is just its picture
    } else {
      fill = RGB(253, 253, 253), edge = RGB(200, 204, 210);
    }
    const int corner = scaled(6);
    if (frame) {
      Brush brush(CreateSolidBrush(fill));
      Pen pen(CreatePen(PS_INSIDEFRAME, scaled(1), edge));
      ScopedSelect b(m, brush.get()), p(m, pen.get());
      RoundRect(m, client.left, client.top, client.right, client.bottom, corner, corner);
    }
    // The keyboard's button: a dark ring inside the edge.
    if (GetFocus() == window_) {
      const int inset = scaled(2);
      Pen pen(CreatePen(PS_INSIDEFRAME, scaled(2), RGB(24, 24, 24)));
      ScopedSelect b(m, GetStockObject(NULL_BRUSH)), p(m, pen.get());
      RoundRect(m, client.left + inset, client.top + inset, client.right - inset,
                client.bottom - inset, corner, corner);
    }
  }
  wchar_t text[512] = {};
  const int length = kind_ == ControlKind::Window ? 0 : GetWindowTextW(window_, text, 512);
  RECT textArea = client;
  int lineHeight = 0;
  if (length > 0) {
    ScopedSelect f(m, font());
    TEXTMETRICW metrics = {};
    GetTextMetricsW(m, &metrics);
    lineHeight = metrics.tmHeight;
  }
  if (picture_) {
    RECT to = client;
    if (kind_ == ControlKind::Image) {
      if (!stretch_) to = {0, 0, pictureSize_.cx, pictureSize_.cy};
    } else {
      const int w = iconSize_ > 0 ? iconSize_ : pictureSize_.cx;
      const int h = iconSize_ > 0 ? iconSize_ : pictureSize_.cy;
      int x = (client.right - w) / 2, y = (client.bottom - h) / 2;
      if (length > 0) y = std::max<int>(scaled(2), (client.bottom - h - lineHeight) / 2);
      if (iconPosition_.x >= 0) x = iconPosition_.x, y = iconPosition_.y;
      // A pressed button's picture sinks a little.
      if (kind_ == ControlKind::Button && pressed_) y += scaled(1);
      to = {x, y, x + w, y + h};
      textArea.top = to.bottom;
    }
    drawPicture(m, picture_.get(), pictureSize_, transparentKey_, to);
  }
  if (length > 0) {
    ScopedSelect f(m, font());
    SetBkMode(m, TRANSPARENT);
    COLORREF colour =
        colours_[kColourText] != kNoColourValue ? rgbOf(colours_[kColourText]) : RGB(32, 32, 32);
    if (!enabled) colour = RGB(160, 160, 160);
    SetTextColor(m, colour);
    UINT format = DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX;
    format |= picture_ ? DT_TOP : DT_VCENTER;
    DrawTextW(m, text, length, &textArea, format);
  }
  BitBlt(dc, 0, 0, client.right, client.bottom, m, 0, 0, SRCCOPY);
}

bool Control::transparentAt(POINT p) const {
  if (transparentKey_ == kNoColourValue) return false;
  RECT client;
  GetClientRect(window_, &client);
  if (stretch_ && client.right > 0 && client.bottom > 0) {
    p.x = p.x * pictureSize_.cx / client.right;
    p.y = p.y * pictureSize_.cy / client.bottom;
  }
  if (p.x < 0 || p.y < 0 || p.x >= pictureSize_.cx || p.y >= pictureSize_.cy) return true;
  MemoryDc source(nullptr);
  ScopedSelect selected(source.get(), picture_.get());
  return GetPixel(source.get(), p.x, p.y) == rgbOf(transparentKey_);
}

void Control::loadPicture(const char* file, uint32_t transparentKey, int size) {
  std::wstring path = toWide(engine_.resolveSkinFile(file));
  // Icons are drawn for 96 dots per inch in ".../24/" folders; a denser
  // screen gets the 36-pixel twin from ".../36/" where there is one, and the
  // icon size grows with the screen.
  const int dpi = engine_.dpi();
  bool scale = false;
  if (dpi >= kDenseDpi) {
    scale = size > 0;
    for (const std::wstring_view folder : {L"/24/", L"\\24\\"}) {
      const size_t at = path.rfind(folder);
      if (at == std::wstring::npos) continue;
      std::wstring twin = path;
      twin.replace(at + 1, 2, L"36");
      if (GetFileAttributesW(twin.c_str()) != INVALID_FILE_ATTRIBUTES)
        path = std::move(twin);
      else
        scale = true;  // the 24-pixel picture, drawn larger
      break;
    }
  }
  Bitmap loaded(static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
  if (!loaded) {
    engine_.log("cannot load picture " + std::string(file));
    return;
  }
  BITMAP info = {};
  GetObjectW(loaded.get(), sizeof info, &info);
  picture_ = std::move(loaded);
  pictureSize_ = {info.bmWidth, info.bmHeight};
  transparentKey_ = transparentKey;
  iconSize_ = scale ? MulDiv(size > 0 ? size : info.bmWidth, dpi, 96) : size;
  if (kind_ == ControlKind::Window) {
    // A window's picture is its title icon.
    Bitmap mask(CreateBitmap(pictureSize_.cx, pictureSize_.cy, 1, 1, nullptr));
    ICONINFO iconInfo = {TRUE, 0, 0, mask.get(), picture_.get()};
    icon_.reset(CreateIconIndirect(&iconInfo));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_.get()));
  }
  InvalidateRect(window_, nullptr, TRUE);
}

void Control::setFont(const char* face, int points) {
  Font created = pointFont(nullptr, face, points > 0 ? points : 9, engine_.dpi());
  if (!created) return;
  font_ = std::move(created);
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
}

void Control::setCursor(const char* name) {
  const std::string_view which = name;
  const wchar_t* system = which == "hand"    ? IDC_HAND
                          : which == "arrow" ? IDC_ARROW
                          : which == "ibeam" ? IDC_IBEAM
                          : which == "cross" ? IDC_CROSS
                                             : nullptr;
  if (system) {
    cursor_ = LoadCursor(nullptr, system);
    return;
  }
  loadedCursor_.reset(LoadCursorFromFileW(toWide(engine_.resolveSkinFile(which)).c_str()));
  cursor_ = loadedCursor_.get();
}

void Control::setTip(const char* text) {
  tip_ = text;
  // The tooltip of the nearest engine window above shows it.
  for (HWND w = window_; w; w = GetParent(w)) {
    Control* above = engine_.control(w);
    if (above && above->tooltip_) {
      Control* tooltip = engine_.control(above->tooltip_);
      if (tooltip) tooltip->addTool(*this);
      return;
    }
  }
}

void Control::becomeTooltipOf(HWND window) {
  Control* owner = engine_.control(window);
  if (!owner) return;
  owner->tooltip_ = window_;
  SendMessageW(window_, TTM_SETMAXTIPWIDTH, 0, 360);
  if (!owner->tip_.empty()) addTool(*owner);
  EnumChildWindows(
      window,
      [](HWND child, LPARAM self) {
        auto* tooltip = reinterpret_cast<Control*>(self);
        Control* control = tooltip->engine_.control(child);
        if (control && !control->tip_.empty()) tooltip->addTool(*control);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(this));
}

void Control::addTool(Control& tool) {
  std::wstring text = toWide(tool.tip_);
  TTTOOLINFOW info = {};
  info.cbSize = sizeof info;
  // No TTF_SUBCLASS: the tool relays its own mouse messages. The tooltip's
  // subclass record would stay behind whenever the tool's window goes first.
  info.uFlags = TTF_IDISHWND;
  info.hwnd = GetParent(tool.window_) ? GetParent(tool.window_) : tool.window_;
  info.uId = reinterpret_cast<UINT_PTR>(tool.window_);
  info.lpszText = text.data();
  SendMessageW(window_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  SendMessageW(window_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  tool.shownBy_ = window_;
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
