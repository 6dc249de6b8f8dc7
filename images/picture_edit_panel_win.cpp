#include "images/picture_edit_panel_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "win/messages.h"
#include "win/text.h"

namespace scribly {
namespace {

constexpr std::string_view kBrightnessBar = "painter trackbar brightness";
constexpr std::string_view kContrastBar = "painter trackbar contrast";
constexpr std::string_view kSizeBar = "painter trackbar size";
constexpr std::string_view kBrightnessLabel = "value brightness";
constexpr std::string_view kContrastLabel = "value contrast";
constexpr std::string_view kSizeLabel = "value size";
constexpr std::string_view kAngleField = "scribly editpic editRotateAngle";
constexpr std::string_view kResetButton = "painter editpic btnReset";

struct OrientationButton {
  std::string_view name;
  Orientation code;
};
constexpr OrientationButton kOrientationButtons[] = {
    {"painter editpic btnHReversal", Orientation::MirrorLeftRight},
    {"painter editpic btnVReversal", Orientation::MirrorTopBottom},
    {"painter editpic btnLRotate", Orientation::TurnLeft},
    {"painter editpic btnRRotate", Orientation::TurnRight},
};

// The angle field holds at most this many characters.
constexpr int kAngleChars = 10;
// Where the panel appears relative to the pointer.
constexpr int kCursorGap = 16;

}  // namespace

PictureEditPanel::PictureEditPanel(SkinSystem& skin, HWND frame, DrawingTools& tools, Board& board)
    : skin_(skin), frame_(frame), editor_(board, tools) {}

PictureEditPanel::~PictureEditPanel() { window_.reset(); }

bool PictureEditPanel::build() {
  if (window_) return window() != nullptr;
  window_ = skin_.createWindow(kPictureEditWindowName, frame_, this);
  if (!window()) return false;
  ShowWindow(window(), SW_HIDE);
  if (SkinElement* field = window_->find(kAngleField)) {
    field->send(EM_SETLIMITTEXT, kAngleChars);
  }
  // Wine's trackbar leaves its thumb where it was when only the range
  // changed, as the skin's range does; a move away and back places it.
  for (std::string_view name : {kBrightnessBar, kContrastBar, kSizeBar}) {
    if (SkinElement* bar = window_->find(name)) {
      const LRESULT pos = bar->send(TBM_GETPOS);
      bar->send(TBM_SETPOS, FALSE, pos + 1);
      bar->send(TBM_SETPOS, TRUE, pos);
    }
  }
  return true;
}

bool PictureEditPanel::show() {
  if (!build()) return false;
  editor_.follow();
  showValues();
  POINT cursor{};
  GetCursorPos(&cursor);
  RECT box{};
  GetWindowRect(window(), &box);
  // Beside the pointer, kept on the pointer's monitor.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const int width = box.right - box.left, height = box.bottom - box.top;
  int x = cursor.x + kCursorGap, y = cursor.y + kCursorGap;
  if (x + width > work.right) x = cursor.x - kCursorGap - width;
  if (y + height > work.bottom) y = work.bottom - height;
  x = std::max<int>(x, work.left);
  y = std::max<int>(y, work.top);
  SetWindowPos(window(), HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  return true;
}

void PictureEditPanel::hide() {
  if (window()) ShowWindow(window(), SW_HIDE);
}

void PictureEditPanel::selectionChanged(SelectionProperty, uint32_t) {
  // The values come with the selection; the editor reads them from the
  // picture itself, so every notification of a series asks the same.
  editor_.follow();
  if (window()) showValues();
}

LRESULT PictureEditPanel::onSkinMessage(SkinElement& source, UINT message, WPARAM wParam,
                                        LPARAM lParam, bool& handled) {
  if (&source != &source.ownerWindow()) return 0;
  switch (message) {
    case WM_CLOSE:
      // Closing only hides: the frame shows the panel again.
      handled = true;
      hide();
      return 0;
    case WM_COMMAND:
      if (lParam == 0) return 0;
      if (SkinElement* control = source.find(reinterpret_cast<HWND>(lParam))) {
        command(*control, HIWORD(wParam));
      }
      return 0;
    case WM_HSCROLL:
      if (lParam == 0) return 0;
      if (SkinElement* trackbar = source.find(reinterpret_cast<HWND>(lParam))) {
        trackbarMoved(*trackbar);
      }
      return 0;
    default:
      return 0;
  }
}

void PictureEditPanel::command(SkinElement& control, UINT code) {
  if (control.name() == kAngleField) {
    if (code == EN_CHANGE && !updating_) angleEdited(control);
    return;
  }
  if (code != BN_CLICKED) return;
  if (control.name() == kResetButton) {
    editor_.follow();
    editor_.reset();
    showValues();
    return;
  }
  for (const OrientationButton& button : kOrientationButtons) {
    if (control.name() != button.name) continue;
    editor_.follow();
    if (editor_.reorient(button.code)) showValues();
    return;
  }
}

void PictureEditPanel::trackbarMoved(SkinElement& trackbar) {
  const auto value = static_cast<int32_t>(trackbar.send(TBM_GETPOS));
  editor_.follow();
  bool changed = false;
  if (trackbar.name() == kBrightnessBar) {
    changed = editor_.setBrightness(value);
  } else if (trackbar.name() == kContrastBar) {
    changed = editor_.setContrast(value);
  } else if (trackbar.name() == kSizeBar) {
    changed = editor_.setSize(value);
  }
  if (changed) showValues();
}

void PictureEditPanel::angleEdited(SkinElement& field) {
  wchar_t text[kAngleChars + 1] = {};
  GetWindowTextW(field.window(), text, kAngleChars + 1);
  const std::string narrow = fromWide(text);
  char* end = nullptr;
  const double degrees = std::strtod(narrow.c_str(), &end);
  // Nothing typed yet, or only a sign.
  if (end == narrow.c_str()) return;
  editor_.follow();
  editor_.turn(degrees);
}

void PictureEditPanel::showValues() {
  if (!window_) return;
  updating_ = true;
  showValue(kBrightnessBar, kBrightnessLabel, editor_.brightness());
  showValue(kContrastBar, kContrastLabel, editor_.contrast());
  showValue(kSizeBar, kSizeLabel, editor_.size());
  // A new picture, or one mirrored or turned since, starts without an angle.
  if (editor_.angle() == 0) {
    if (SkinElement* field = window_->find(kAngleField); field && field->window()) {
      if (GetWindowTextLengthW(field->window()) > 0) SetWindowTextW(field->window(), L"");
    }
  }
  updating_ = false;
}

void PictureEditPanel::showValue(std::string_view trackbar, std::string_view label, int32_t value) {
  if (SkinElement* bar = window_->find(trackbar)) bar->send(TBM_SETPOS, TRUE, value);
  SkinElement* text = window_->find(label);
  if (!text || !text->window()) return;
  char shown[16];
  std::snprintf(shown, sizeof shown, "(%d)", static_cast<int>(value));
  SetWindowTextW(text->window(), toWide(shown).c_str());
}

}  // namespace scribly
