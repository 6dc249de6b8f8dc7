#pragma once
// The plug-in's side of the skin engine: uiengine.dll started once per
// process, the skin files loaded into one document, windows built from it
// with a record per control through which the engine's messages reach the
// window's program object or the skin's scripts, menus, language texts and
// message boxes. Everything runs on the thread that owns the skin windows.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "skin/language_keys.h"
#include "skin/language_texts.h"
#include "skin/skin_document.h"
#include "skin/skin_layout.h"
#include "skin/ui_engine_win.h"

namespace scribly {

class SkinElement;
class SkinSystem;

// The program side of a skin window: the main frame and each panel.
class SkinProgram {
 public:
  // Every message of the window's controls comes here first; setting
  // `handled` consumes it (no script event, no engine default).
  virtual LRESULT onSkinMessage(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                                bool& handled) = 0;
  // A chosen menu item (menu name, item name) or a script's ui.command
  // (function name, argument).
  virtual LRESULT onNamedCommand(SkinElement& source, std::string_view name,
                                 std::string_view argument) = 0;

 protected:
  ~SkinProgram() = default;
};

// The events a skin element may name a script function for.
enum class SkinEvent { Click, MenuCommand, Init, Destroy, Move, Size, Close };
std::string_view skinEventAttribute(SkinEvent event);

// One control as built: its description, the engine's control while its
// window lives, its window's element and its children in creation order.
class SkinElement final : public SkinControlOwner {
 public:
  SkinElement(SkinSystem& system, const ControlDescription& description, SkinElement* window);
  SkinElement(const SkinElement&) = delete;
  SkinElement& operator=(const SkinElement&) = delete;

  const std::string& name() const { return description_.name; }
  const ControlDescription& description() const { return description_; }
  // Null once the control's window is gone.
  SkinControl* control() const { return control_; }
  HWND window() const { return control_ ? control_->window() : nullptr; }
  // The window element this control belongs to; itself for a window.
  SkinElement& ownerWindow() { return window_ ? *window_ : *this; }
  const std::vector<std::unique_ptr<SkinElement>>& children() const { return children_; }

  // The first element named `name` here or below, in pre-order.
  SkinElement* find(std::string_view name);
  // The element whose window that is, here or below.
  SkinElement* find(HWND window);
  // Calls the script function the element names for `event`, with this
  // element and its window current; false when it names none.
  bool raise(SkinEvent event, WPARAM wParam = 0);

  // Plain conveniences over the control; harmless once it is gone.
  void show(bool visible);
  void enable(bool enabled);
  LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  // SkinControlOwner
  LRESULT __stdcall onControlMessage(SkinControl* control, UINT message, WPARAM wParam,
                                     LPARAM lParam, BOOL* handled) override;
  LRESULT __stdcall onNamedCommand(SkinControl* control, const char* name,
                                   const char* argument) override;

 private:
  friend class SkinSystem;
  friend class SkinWindow;
  LRESULT dispatch(SkinControl* control, UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  SkinProgram* program() const;

  SkinSystem& system_;
  const ControlDescription& description_;
  SkinElement* window_;             // null for the window itself
  SkinProgram* program_ = nullptr;  // windows only; dropped at WM_NCDESTROY
  SkinControl* control_ = nullptr;
  std::vector<std::unique_ptr<SkinElement>> children_;
};

// A pop-up menu built from a skin menu element; the chosen item arrives at
// the window's program object as the named command (menu name, item name).
class SkinMenuHandle {
 public:
  explicit SkinMenuHandle(SkinMenu* menu) : menu_(menu) {}
  ~SkinMenuHandle() {
    if (menu_) menu_->release();
  }
  SkinMenuHandle(const SkinMenuHandle&) = delete;
  SkinMenuHandle& operator=(const SkinMenuHandle&) = delete;
  void popup(POINT screen) { menu_->popup(screen.x, screen.y); }
  void enableItem(int index, bool enabled) { menu_->enableItem(index, enabled); }
  HMENU handle() { return menu_->handle(); }

 private:
  SkinMenu* menu_;
};

// A window built from a skin description. Destroying it destroys the window.
class SkinWindow {
 public:
  ~SkinWindow();
  SkinWindow(const SkinWindow&) = delete;
  SkinWindow& operator=(const SkinWindow&) = delete;

  SkinElement& root() { return *root_; }
  HWND window() const { return root_->window(); }
  SkinElement* find(std::string_view name) { return root_->find(name); }
  // A standard message box owned by the window with the language texts of
  // `textKey` and the caption key; its answer (IDYES, IDNO, ...), or 0.
  int messageBox(std::string_view textKey, UINT flags);
  // The menu element of that name for this window; null when the skin has none.
  std::unique_ptr<SkinMenuHandle> menu(std::string_view name);

 private:
  friend class SkinSystem;
  SkinWindow(SkinSystem& system, ControlDescription description, SkinProgram* program);

  std::shared_ptr<SkinSystem> keep_;  // the engine outlives every window
  ControlDescription description_;
  std::unique_ptr<SkinElement> root_;
};

inline constexpr char kSkinFileName[] = "Scribly.xml";
inline constexpr char kLanguageFileName[] = "Scribly_LANG.xml";
inline constexpr char kEngineFileName[] = "uiengine.dll";

// The engine and the skin document, one per process while any plug-in uses
// them, on the one thread that started them (the engine serves one thread);
// the last holder's release finishes the scripts and lets the engine go.
class SkinSystem : public std::enable_shared_from_this<SkinSystem> {
 public:
  // Starts the engine from `moduleFolder` (the engine file is loaded by its
  // full path there, never through the search path), gives it `skinFolder`,
  // loads the skin file and the language file of that folder. The running
  // system when there is one; null when the engine cannot be started, or
  // when the running system belongs to another thread.
  static std::shared_ptr<SkinSystem> acquire(const std::string& moduleFolder,
                                             const std::string& skinFolder);
  // Whether a system runs now on a thread other than the caller's.
  static bool runsOnAnotherThread();
  ~SkinSystem();
  SkinSystem(const SkinSystem&) = delete;
  SkinSystem& operator=(const SkinSystem&) = delete;

  // Builds the window description `name` (tag "window") as a child of
  // `parent` (a top-level window when null); `program` gets its messages and
  // must outlive the window or destroy it first. Null when the skin has no
  // such window or the engine refuses it.
  std::unique_ptr<SkinWindow> createWindow(std::string_view name, HWND parent,
                                           SkinProgram* program);

  // Adds the windows, menus and scripts of another skin file (a panel set a
  // program brings along); false when it cannot be read.
  bool loadSkinFile(const std::string& path);

  // The language text of `key` as it fits a buffer of `bufferBytes`
  // (kShortTextBytes or kMessageTextBytes); the key itself when missing.
  std::string text(std::string_view key, size_t bufferBytes = kShortTextBytes);

  // The event whose script is running now, if any: a command that takes
  // data from outside runs only from a click's.
  std::optional<SkinEvent> raising() const { return raising_; }
  // Whether the message the engine handles now came from the user (their
  // input, or our own code on this thread), not from another program.
  bool raisedByUser() { return manager_->raisedByUser() != FALSE; }

  const SkinDocument& document() const { return document_; }
  ScriptEngine& scripts() { return *scripts_; }
  SkinManager& manager() { return *manager_; }
  // What the skin loading skipped, and what scripts wrote or failed with.
  std::string log() const;

 private:
  friend class SkinElement;
  SkinSystem() = default;
  bool start(const std::string& moduleFolder, const std::string& skinFolder);
  bool build(SkinElement& element, HWND parent);
  void makeCurrent(SkinElement* control, SkinElement* window);

  HMODULE module_ = nullptr;
  ScriptEngine* scripts_ = nullptr;
  SkinManager* manager_ = nullptr;
  SkinDocument document_;
  // Captions and tips that are keys are shown as their texts.
  LanguageTexts texts_;
  ControlIds ids_{0};
  std::optional<SkinEvent> raising_;
};

}  // namespace scribly
