#pragma once
// The engine's process-wide state: the script interpreter with the engine's
// own script functions, the log, the object variables, the language texts,
// the skin folder and every live control. One per process, made on first use
// and used only on the thread that owns the skin windows.
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "skin/language_texts.h"
#include "skin/ui_engine_win.h"
#include "uiengine/script_interpreter.h"

namespace scribly {

class Control;
class Menu;

class Engine {
 public:
  static Engine& instance();

  // Whether the calling thread may use the engine. It serves one thread at a
  // time: the first to call, until the scripts are finished with no control
  // or menu left; every other thread is refused meanwhile.
  bool admits();

  // The interpreter with the engine's "ui" functions installed.
  ScriptInterpreter& scripts();
  // Closes the scripts' world; the next use starts a fresh one.
  void finishScripts();
  // Writes to the debug output and keeps the line for copyLog.
  void log(std::string_view line);
  const std::string& logText() const { return log_; }

  void setObject(std::string_view name, Control* control);
  Control* object(std::string_view name) const;

  LanguageTexts& texts() { return texts_; }
  void setSkinFolder(std::string folder) { skinFolder_ = std::move(folder); }
  // A relative picture or cursor file is looked for in the skin folder.
  std::string resolveSkinFile(std::string_view file) const;

  // The dots per inch fonts and icons are made for: the screen's, read on
  // first use. Programs that link the engine itself (its tests) may set
  // another before they make controls; the DLL offers no way to.
  int dpi();
  void setDpi(int dpi) { dpi_ = dpi; }

  Control* create(const CLSID& classId, const IID& interfaceId, const char* caption, DWORD style,
                  DWORD exStyle, const RECT& rect, HWND parent, SkinControlOwner* owner);
  // The live control of a window, or one a script names by its address; null
  // for anything else, so a stale or made-up number reaches nothing.
  Control* control(HWND window) const;
  Control* control(int64_t address) const;
  // Called by a control's window at WM_NCDESTROY, after its owner saw it.
  void forget(HWND window);
  // Destroys the pop-up controls made under `window` (tooltips, the capture
  // element): their system owner is the top-level window above it.
  void destroyPopupsOf(HWND window);
  bool hasControls() const { return !controls_.empty(); }
  // What the engine holds for programs: controls, object variables, menus.
  struct Holdings {
    size_t controls = 0, objects = 0, menus = 0;
  };
  Holdings holdings() const { return {controls_.size(), objects_.size(), menus_.size()}; }

  // A menu for `window` from a skin menu element's text; null when it is none.
  Menu* createMenu(std::string_view markup, HWND window);
  void releaseMenu(Menu* menu);

 private:
  Engine();
  void installScriptApi();

  std::unique_ptr<ScriptInterpreter> scripts_;
  bool apiInstalled_ = false;
  std::string log_;
  std::map<std::string, Control*, std::less<>> objects_;
  LanguageTexts texts_;
  std::string skinFolder_;
  int dpi_ = 0;
  std::map<HWND, std::unique_ptr<Control>> controls_;
  std::vector<std::unique_ptr<Menu>> menus_;
  std::atomic<DWORD> thread_{0};
};

}  // namespace scribly
