#pragma once
// The skin engine's private control messages, each number declared here and
// nowhere else. The loader, the bridge, the engine and the program's windows
// agree on them through this list; texts passed by pointer are UTF-8 at the
// engine's control objects.
#include <cstdint>

namespace scribly {

// Every message of the engine lies in this block; nothing in it may come from
// another thread or process.
inline constexpr uint32_t kSkinMessagesFirst = 0x0C00;
inline constexpr uint32_t kSkinMessagesLast = 0x0DFF;

enum EngineMessage : uint32_t {
  // Attributes, applied right after a control is created.
  kEngineInitialised = 0xC01,     // the window is built: raise "oninit"
  kEngineCopyName = 0xC07,        // wParam buffer, lParam its size
  kEngineControlRecord = 0xC08,   // the program-side record of the control
  kEngineClicked = 0xC09,         // raise "onclick"
  kEngineMenuCommand = 0xC0D,     // raise "onmenucmd" with wParam
  kEngineMinSize = 0xC16,         // wParam width, lParam height
  kEngineMaxSize = 0xC17,         // wParam width, lParam height
  kEnginePicture = 0xC18,         // text file; wParam transparent colour | size << 32
  kEngineFont = 0xC19,            // text face; wParam size in points
  kEngineColour = 0xC1A,          // wParam which (kColourText...), lParam colour
  kEngineStretch = 0xC1B,         // draw the picture stretched
  kEngineHitTransparent = 0xC1C,  // wParam bool: clicks pass through clear pixels
  kEngineCursor = 0xC1D,          // text cursor name or file
  kEngineTip = 0xC1E,             // text tooltip
  kEngineDropdownHeight = 0xC1F,  // wParam height of the list
  kEngineSplitRange = 0xC21,      // wParam lowest, lParam highest position
  kEngineSplitMode = 0xC22,       // wParam 1 horizontal, 0 vertical
  kEngineMultiSelect = 0xD36,     // wParam bool
  kEngineSingleLine = 0xD38,      // wParam bool
  kEngineHaveLines = 0xD39,       // wParam bool
  kEngineTreeListOption = 0xD90,  // wParam kTreeList...; lParam the value
  kEngineIconPosition = 0xDC4,    // wParam x, lParam y
  kEngineTitlePosition = 0xDC5,   // wParam x, lParam y

  // The tree controls (ui_engine_win.h describes the records they take).
  // To the tree's owner: wParam 1, lParam kTreeClick...; the item is the
  // tree's current item.
  kTreeNotify = 0xD0A,
  // To the tree's owner when the pointer rests on an item: wParam a buffer of
  // kMaxTipMarkupBytes (lParam) for a tip markup; the owner answers kTipWritten.
  kTreeTipRequest = 0xD18,
  // lParam the folder (8-bit) whose "<n>.bmp" files are image n.
  kTreeSetPictureFolder = 0xD40,
  // wParam the parent item (null: top level), lParam a TreeItemSpec; returns
  // the new item.
  kTreeInsertItem = 0xD41,
  // wParam the item, lParam a TreeText; copies the markup, returns its length.
  kTreeGetItemMarkup = 0xD42,
  // wParam the item, lParam the new markup.
  kTreeSetItemMarkup = 0xD43,

  // The capture element: wParam the window to report to, lParam the bitmap
  // file's path (8-bit).
  kCaptureStart = 0xD50,
  // To that window: wParam the path, zero-terminated, 8-bit.
  kCaptureDone = 0xD2C,
  // To that window: the user cancelled or the file could not be written.
  kCaptureNone = 0xD2D,
};

// What kEngineColour sets.
enum : uint32_t { kColourText = 0, kColourShadow = 1, kColourBack = 2 };
// What kEngineTreeListOption sets.
enum : uint32_t { kTreeListLines = 0, kTreeListLineColour = 1, kTreeListSort = 2 };

}  // namespace scribly
