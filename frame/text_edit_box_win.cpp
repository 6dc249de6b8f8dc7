#include "frame/text_edit_box_win.h"

#include <algorithm>

#include "objects/gdi_canvas_win.h"
#include "win/messages.h"
#include "win/text.h"

namespace scribly {

namespace {

constexpr wchar_t kOwnerProperty[] = L"ScriblyTextEditBox";

TextEditBox* ownerOf(HWND hwnd) {
  return static_cast<TextEditBox*>(GetPropW(hwnd, kOwnerProperty));
}

SIZE measured(HDC dc, const wchar_t* text, int length) {
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text, length, &r, DT_CALCRECT);
  // Room for the caret and the frame around the text.
  return {r.right - r.left + 2 * 5, r.bottom - r.top + 2 * 2};
}

}  // namespace

TextEditBox::~TextEditBox() {
  if (!edit_) return;
  closing_ = true;
  HWND edit = edit_;
  detach();
  DestroyWindow(edit);
}

bool TextEditBox::open(Point position, HWND parent, const FontRecord& font,
                       const char* initialUtf8) {
  // The open editor commits and closes first, as when it loses the focus.
  if (edit_) SendMessageW(edit_, WM_KILLFOCUS, 0, 0);
  std::wstring initial;
  if (initialUtf8) {
    if (auto wide = wideFromUtf8(initialUtf8)) initial = std::move(*wide);
  }
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  // The control refuses a character that would not fit before the refit that
  // follows it; scrolling styles let it take the character (and never wrap,
  // so lines break only where the text does, as measured).
  HWND edit =
      CreateWindowExW(WS_EX_STATICEDGE, L"Edit", initial.c_str(),
                      WS_CHILD | ES_MULTILINE | ES_WANTRETURN | ES_AUTOHSCROLL | ES_AUTOVSCROLL,
                      position.x, position.y, 0, 0, parent, nullptr, instance, nullptr);
  if (!edit) return false;
  edit_ = edit;
  parent_ = parent;
  position_ = position;
  closing_ = false;
  SetPropW(edit, kOwnerProperty, this);
  previous_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TextEditBox::editProc)));
  SendMessageW(edit, EM_LIMITTEXT, kMaxChars, 0);
  const LOGFONTW lf = logFontFrom(font);
  font_.reset(CreateFontIndirectW(&lf));
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  fit();
  ShowWindow(edit, SW_SHOW);
  SetFocus(edit);
  return true;
}

std::string TextEditBox::textOf(HWND edit) {
  std::wstring text(kMaxChars + 1, L'\0');
  const int n = GetWindowTextW(edit, text.data(), kMaxChars + 1);
  if (n <= 0) return {};
  return fromWide(std::wstring_view(text.data(), static_cast<size_t>(n)));
}

void TextEditBox::commit() {
  if (closing_ || !edit_) return;
  closing_ = true;
  HWND edit = edit_;
  const LPARAM packed = MAKELPARAM(static_cast<WORD>(position_.x), static_cast<WORD>(position_.y));
  SendMessageW(parent_, WM_PLUGIN_TEXT_COMMITTED, reinterpret_cast<WPARAM>(edit), packed);
  detach();
  DestroyWindow(edit);
  // The control no longer refers to the font once it is gone.
  font_.reset();
}

void TextEditBox::detach() {
  if (!edit_) return;
  SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
  RemovePropW(edit_, kOwnerProperty);
  edit_ = nullptr;
}

void TextEditBox::fit() {
  WindowDc dc(edit_);
  if (!dc) return;
  ScopedSelect selected(dc.get(), font_.get());
  std::wstring text(kMaxChars + 1, L'\0');
  const int n = GetWindowTextW(edit_, text.data(), kMaxChars + 1);
  const SIZE own = measured(dc.get(), text.c_str(), std::max(n, 0));
  const SIZE sample = measured(dc.get(), kSampleWord, static_cast<int>(wcslen(kSampleWord)));
  SetWindowPos(edit_, nullptr, 0, 0, std::max(own.cx, sample.cx), std::max(own.cy, sample.cy),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TextEditBox::paintFrame() {
  WindowDc dc(edit_, WindowDc::Area::Whole);
  if (!dc) return;
  RECT r;
  GetWindowRect(edit_, &r);
  Pen pen(CreatePen(PS_SOLID, 1, kFrameColour));
  ScopedSelect penSelected(dc.get(), pen.get());
  ScopedSelect brushSelected(dc.get(), GetStockObject(NULL_BRUSH));
  Rectangle(dc.get(), 0, 0, r.right - r.left, r.bottom - r.top);
}

LRESULT CALLBACK TextEditBox::editProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TextEditBox* self = ownerOf(hwnd);
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  const WNDPROC previous = self->previous_;
  switch (msg) {
    case WM_KILLFOCUS:
      self->commit();
      return 0;
    case WM_NCPAINT:
      self->paintFrame();
      return 0;
    case WM_CHAR:
    case WM_IME_CHAR: {
      const LRESULT result = CallWindowProcW(previous, hwnd, msg, wp, lp);
      if (self->edit_ == hwnd) self->fit();
      return result;
    }
    case WM_NCDESTROY:
      // Destroyed with its parent while still open: nothing to commit to.
      self->detach();
      return CallWindowProcW(previous, hwnd, msg, wp, lp);
    default:
      return CallWindowProcW(previous, hwnd, msg, wp, lp);
  }
}

}  // namespace scribly
