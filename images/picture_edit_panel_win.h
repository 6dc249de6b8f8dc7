#pragma once
// The picture-editing panel: a skin pop-up over the selected picture with
// mirror and quarter-turn buttons, a reset, an angle field and trackbars for
// brightness, contrast and size. What it sets goes through the picture
// editor, so peers see the same picture.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string_view>

#include "board/tool_seams.h"
#include "images/picture_editor.h"
#include "skin/skin_bridge_win.h"

namespace scribly {

inline constexpr std::string_view kPictureEditWindowName = "scribly EditPicture panel";

class PictureEditPanel final : public SkinProgram {
 public:
  // `frame` owns the panel's window. All four must outlive the panel.
  PictureEditPanel(SkinSystem& skin, HWND frame, DrawingTools& tools, Board& board);
  ~PictureEditPanel();
  PictureEditPanel(const PictureEditPanel&) = delete;
  PictureEditPanel& operator=(const PictureEditPanel&) = delete;

  // Shows the panel beside the pointer for the selected picture (built the
  // first time). False when the skin has no such window.
  bool show();
  void hide();
  // The frame's selection-properties notification: the panel follows the
  // selected picture and shows its values.
  void selectionChanged(SelectionProperty which, uint32_t value);

  HWND window() const { return window_ ? window_->window() : nullptr; }
  // A control of the panel by its skin name, once built.
  SkinElement* find(std::string_view name) { return window_ ? window_->find(name) : nullptr; }
  const PictureEditor& editor() const { return editor_; }

  // SkinProgram: the buttons' clicks, the angle field's changes and the
  // trackbars' moves arrive at the panel window.
  LRESULT onSkinMessage(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                        bool& handled) override;
  LRESULT onNamedCommand(SkinElement&, std::string_view, std::string_view) override { return 0; }

 private:
  bool build();
  void command(SkinElement& control, UINT code);
  void trackbarMoved(SkinElement& trackbar);
  void angleEdited(SkinElement& field);
  // Trackbars, labels and the angle field show the editor's values.
  void showValues();
  void showValue(std::string_view trackbar, std::string_view label, int32_t value);

  SkinSystem& skin_;
  HWND frame_;
  PictureEditor editor_;
  std::unique_ptr<SkinWindow> window_;
  // Set while the panel writes into its own controls, whose change
  // notifications are then not a person's edits.
  bool updating_ = false;
};

}  // namespace scribly
