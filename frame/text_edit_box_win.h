#pragma once
// The in-place text editor: a multi-line system "Edit" control opened at a
// click point, growing with its text, which hands its text to its parent when
// it loses the focus and then closes.
#include <windows.h>

#include <string>

#include "objects/font_record.h"
#include "objects/geometry.h"
#include "win/handles.h"

namespace scribly {

class TextEditBox {
 public:
  // On commit the parent gets WM_PLUGIN_TEXT_COMMITTED: wParam the editor
  // window, lParam the position (x low 16 bits, y high 16 bits). The window
  // text is still there.
  static constexpr int kMaxChars = 4020;
  // The editor is never smaller than this word in its font.
  static constexpr const wchar_t* kSampleWord = L"Scribly";
  static constexpr COLORREF kFrameColour = 0x9C9C9C;

  TextEditBox() = default;
  // Closes an open editor without committing.
  ~TextEditBox();
  TextEditBox(const TextEditBox&) = delete;
  TextEditBox& operator=(const TextEditBox&) = delete;

  // Commits an editor still open, then opens a new one. initialUtf8 may be
  // null; text that does not convert starts the editor empty.
  bool open(Point position, HWND parent, const FontRecord& font, const char* initialUtf8);
  bool isOpen() const { return edit_ != nullptr; }
  HWND window() const { return edit_; }

  // The editor window's text as UTF-8 (for the parent's commit handler).
  static std::string textOf(HWND edit);

 private:
  static LRESULT CALLBACK editProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void commit();
  void fit();
  void paintFrame();
  // Puts the control's own procedure back and forgets the window.
  void detach();

  HWND edit_ = nullptr;
  HWND parent_ = nullptr;
  WNDPROC previous_ = nullptr;
  Font font_;
  Point position_;
  bool closing_ = false;
};

}  // namespace scribly
