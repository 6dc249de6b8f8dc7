#pragma once
// What the plug-in's skin bridge sees of uiengine.dll: the ScriptEngine that GetUIEngine
// returns, the SkinManager COM class, the control objects it creates and the
// owner record through which a control hands its messages to the program.
// Every table of operations is used by its slot order, so the order of the
// virtual functions below is fixed; reserved slots stay where they are.
// Texts crossing these calls are UTF-8, paths 8-bit in the system code page.
#include <objbase.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdint>

#include "skin/engine_messages.h"

namespace scribly {

// {5E0B7C21-9A4F-4C3D-8E61-2B7D4A90C1E5}
inline constexpr CLSID kSkinManagerClassId = {
    0x5E0B7C21, 0x9A4F, 0x4C3D, {0x8E, 0x61, 0x2B, 0x7D, 0x4A, 0x90, 0xC1, 0xE5}};
// {5E0B7C22-9A4F-4C3D-8E61-2B7D4A90C1E5}
inline constexpr IID kSkinManagerInterfaceId = {
    0x5E0B7C22, 0x9A4F, 0x4C3D, {0x8E, 0x61, 0x2B, 0x7D, 0x4A, 0x90, 0xC1, 0xE5}};
// The context in which a registered engine is created through COM (in-process
// or local server). The plug-in itself asks the class object of the file it
// loaded and never looks at the registry.
inline constexpr DWORD kSkinManagerContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;

// The type code of an integer script argument or result.
inline constexpr uint32_t kScriptIntegerType = 0x110;

struct ScriptCallArgument {
  uint32_t type;  // kScriptIntegerType
  int32_t value;
};

// A native scripts call without arguments; what it returns reaches the script
// as an integer (objects travel as their addresses).
using ScriptNativeCallback = intptr_t(__stdcall*)();

class ScriptEngine {
 public:
  virtual void __stdcall loadScriptFile(const char* path) = 0;      // 0
  virtual void __stdcall runScript(const char* source) = 0;         // 1
  virtual void __stdcall reserved2() = 0;                           // 2
  virtual void __stdcall finish() = 0;                              // 3
  virtual void __stdcall reserved4() = 0;                           // 4
  virtual void __stdcall callFunction(const char* name, int count,  // 5
                                      const ScriptCallArgument* arguments) = 0;
  virtual void __stdcall registerNative(ScriptNativeCallback callback, const char* name,  // 6
                                        int reserved, uint32_t resultType, int reserved2,
                                        int reserved3) = 0;
  // Beyond the slots the plug-in relies on: the engine's log (script errors,
  // what scripts print), zero-terminated, cut to `size`; returns its full
  // length in bytes.
  virtual size_t __stdcall copyLog(char* buffer, size_t size) = 0;  // 7

 protected:
  ~ScriptEngine() = default;  // the engine owns it; nobody deletes it
};

// GetUIEngine, the one export besides the COM entry points: the process's
// ScriptEngine, never null.
using GetUIEngineFunction = ScriptEngine*(__stdcall*)();
inline constexpr char kGetUIEngineName[] = "GetUIEngine";

class SkinControl;

// What the tree controls' own messages (vdtree and the other tree types,
// engine_messages.h) carry. Items
// carry markup texts (<text><font size="10" color="0,0,255">name</font>
// </text>), shown as the name in that colour; images, item data, expanding,
// hit testing and label editing are the standard tree-view messages.
struct TreeItemSpec {
  const char* markup;  // UTF-8
  int image;           // numbers of the pictures in the picture folder
  int selectedImage;
  LPARAM data;
  HTREEITEM after;  // TVI_LAST when null
};
struct TreeText {
  char* buffer;
  size_t size;
};
// A tip markup (kTreeTipRequest): <tip><font size="10" color="0,0,255">text</font></tip>.
inline constexpr size_t kMaxTipMarkupBytes = 1024;
inline constexpr LRESULT kTipWritten = 2;
enum : LPARAM { kTreeClick = 1, kTreeRightClick = 2, kTreeLabelEdited = 3 };

// The program side of a control: every message the control's window gets is
// offered here first; `*handled` set means the engine does nothing more and
// `*result` is the answer. Named commands (a script's ui.command, a chosen
// menu item) arrive at onNamedCommand. Calls come on the window's thread and
// must not throw.
class SkinControlOwner {
 public:
  virtual LRESULT __stdcall onControlMessage(SkinControl* control, UINT message, WPARAM wParam,
                                             LPARAM lParam, BOOL* handled) = 0;
  virtual LRESULT __stdcall onNamedCommand(SkinControl* control, const char* name,
                                           const char* argument) = 0;

 protected:
  ~SkinControlOwner() = default;
};

// A control made by the engine. It lives as long as its window: after the
// owner has seen WM_NCDESTROY the object is gone.
class SkinControl {
 public:
  // Messages whose text parameter is a pointer (WM_SETTEXT, and the engine's
  // own: picture file, font face, cursor, tip) take UTF-8 here.
  virtual LRESULT __stdcall sendMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;  // 0
  // Copies the text, UTF-8, zero-terminated, cut on a character boundary;
  // returns its full length in bytes.
  virtual size_t __stdcall getText(char* buffer, size_t size) = 0;       // 1
  virtual void __stdcall setText(const char* text) = 0;                  // 2
  virtual void __stdcall show(int command) = 0;                          // 3 (SW_ value)
  virtual void __stdcall enable(BOOL enabled) = 0;                       // 4
  virtual void __stdcall move(int x, int y, int width, int height) = 0;  // 5
  virtual HWND __stdcall window() = 0;                                   // 6
  // A message box owned by this control's window with the texts of two
  // language keys; returns the box's answer (IDYES, IDNO, ...).
  virtual int __stdcall messageBox(const char* textKey, const char* captionKey, UINT flags) = 0;
  // The skin name the engine answers kEngineCopyName with.
  virtual void __stdcall setName(const char* name) = 0;  // 8
  virtual SkinControlOwner* __stdcall owner() = 0;       // 9

 protected:
  ~SkinControl() = default;
};

// A pop-up menu built from a skin menu element. The chosen item arrives at
// the owner of its window as the named command (menu name, item name).
class SkinMenu {
 public:
  // Shows the menu at a screen point and returns when it closes.
  virtual void __stdcall popup(int x, int y) = 0;  // 0
  // Items count in menu order, separators and sub-menus not included.
  virtual void __stdcall enableItem(int index, BOOL enabled) = 0;  // 1
  virtual HMENU __stdcall handle() = 0;                            // 2
  virtual void __stdcall release() = 0;                            // 3

 protected:
  ~SkinMenu() = default;
};

// The SkinManager: slots 0 to 2 are IUnknown's.
class SkinManager : public IUnknown {
 public:
  // Creates the control of a type row (its engine class and interface) as a
  // window; S_OK and the control in *control, or S_FALSE and null.
  virtual HRESULT __stdcall createControl(REFCLSID classId, REFIID interfaceId, const char* caption,
                                          DWORD style, DWORD exStyle, const RECT* rect, HWND parent,
                                          SkinControlOwner* owner,
                                          SkinControl** control) = 0;  // 3
  virtual HRESULT __stdcall reserved4() = 0;                           // 4
  virtual HRESULT __stdcall setSkinFolder(const char* path) = 0;       // 5
  // "current wnd", "current org wnd" and any other name; null clears.
  virtual HRESULT __stdcall setObject(const char* name, SkinControl* object) = 0;   // 6
  virtual HRESULT __stdcall getObject(const char* name, SkinControl** object) = 0;  // 7
  virtual HRESULT __stdcall loadLanguageFile(const char* path) = 0;                 // 8
  virtual HRESULT __stdcall reserved9() = 0;                                        // 9
  virtual HRESULT __stdcall reserved10() = 0;                                       // 10
  virtual HRESULT __stdcall reserved11() = 0;                                       // 11
  // The text of `key` as zero-terminated UTF-8; *size is the buffer's size in
  // bytes going in, the bytes written (without the terminator) coming out.
  // S_FALSE when the key is missing (its name is written then).
  virtual HRESULT __stdcall getText(const char* key, char* buffer, DWORD* size) = 0;  // 12
  // Beyond the slots the plug-in relies on. A menu from the text of a skin
  // menu element (<menu name="..."><item name="copy" caption="Copy"/>
  // <separator/><menu caption="More">...</menu></menu>; "disabled" and
  // "checked" are bare attributes of an item) for `window`; S_FALSE and null
  // when the text is no menu.
  virtual HRESULT __stdcall createMenu(const char* markup, SkinControl* window,
                                       SkinMenu** menu) = 0;  // 13
  // Whether what the engine handles now was raised by the user: the message
  // a control is handling, and each one it is nested in, is mouse or keyboard
  // input or a direct send of code on the control's thread; nothing posted,
  // and nothing sent from another thread or process.
  virtual BOOL __stdcall raisedByUser() = 0;  // 14
};

inline constexpr char kCurrentControlVariable[] = "current wnd";
inline constexpr char kCurrentWindowVariable[] = "current org wnd";

}  // namespace scribly
