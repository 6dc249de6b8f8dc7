#include "skin/skin_bridge_win.h"

#include <cstring>
#include <ctime>
#include <mutex>
#include <utility>

#include "win/text.h"

namespace scribly {
namespace {

GUID guidOf(const EngineId& id) {
  GUID guid;
  static_assert(sizeof guid == sizeof id);
  std::memcpy(&guid, &id, sizeof guid);
  return guid;
}

// The natives scripts call take no context, so they reach the running system
// through this; set while one lives, with the thread it serves.
SkinSystem* g_running = nullptr;
DWORD g_runningThread = 0;
std::weak_ptr<SkinSystem> g_system;
// Never held while the last reference to a system goes: its destructor takes it.
std::mutex g_systemLock;

intptr_t objectVariable(const char* name) {
  SkinControl* control = nullptr;
  if (g_running) g_running->manager().getObject(name, &control);
  return reinterpret_cast<intptr_t>(control);
}
intptr_t __stdcall currentObject() { return objectVariable(kCurrentControlVariable); }
intptr_t __stdcall currentWindow() { return objectVariable(kCurrentWindowVariable); }

class EngineScripts final : public SkinScripts {
 public:
  explicit EngineScripts(ScriptEngine& engine) : engine_(engine) {}
  void loadScriptFile(const std::string& path) override { engine_.loadScriptFile(path.c_str()); }
  void runScriptSource(std::string_view source) override {
    engine_.runScript(std::string(source).c_str());
  }

 private:
  ScriptEngine& engine_;
};

// The folder of a skin file with its separator; included files are named
// with either kind of slash.
std::string skinFileFolder(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::optional<SkinEvent> eventOf(UINT message) {
  switch (message) {
    case WM_CLOSE:
      return SkinEvent::Close;
    case WM_SIZE:
      return SkinEvent::Size;
    case WM_MOVE:
      return SkinEvent::Move;
    case WM_DESTROY:
      return SkinEvent::Destroy;
    case kEngineInitialised:
      return SkinEvent::Init;
    case kEngineMenuCommand:
      return SkinEvent::MenuCommand;
    default:
      return std::nullopt;
  }
}

}  // namespace

std::string_view skinEventAttribute(SkinEvent event) {
  switch (event) {
    case SkinEvent::Click:
      return "onclick";
    case SkinEvent::MenuCommand:
      return "onmenucmd";
    case SkinEvent::Init:
      return "oninit";
    case SkinEvent::Destroy:
      return "ondestroy";
    case SkinEvent::Move:
      return "onmove";
    case SkinEvent::Size:
      return "onsize";
    case SkinEvent::Close:
      return "onclose";
  }
  return {};
}

// ---------------------------------------------------------------- elements

SkinElement::SkinElement(SkinSystem& system, const ControlDescription& description,
                         SkinElement* window)
    : system_(system), description_(description), window_(window) {}

SkinElement* SkinElement::find(std::string_view name) {
  if (description_.name == name) return this;
  for (auto& child : children_)
    if (SkinElement* found = child->find(name)) return found;
  return nullptr;
}

SkinElement* SkinElement::find(HWND window) {
  if (window && this->window() == window) return this;
  for (auto& child : children_)
    if (SkinElement* found = child->find(window)) return found;
  return nullptr;
}

bool SkinElement::raise(SkinEvent event, WPARAM wParam) {
  const std::string function(description_.element.attribute(skinEventAttribute(event)).value());
  if (function.empty()) return false;
  system_.makeCurrent(this, window_);
  const std::optional<SkinEvent> outer = std::exchange(system_.raising_, event);
  if (event == SkinEvent::MenuCommand) {
    const ScriptCallArgument arguments[2] = {{kScriptIntegerType, LOWORD(wParam)},
                                             {kScriptIntegerType, HIWORD(wParam)}};
    system_.scripts().callFunction(function.c_str(), 2, arguments);
  } else {
    system_.scripts().callFunction(function.c_str(), 0, nullptr);
  }
  system_.raising_ = outer;
  return true;
}

void SkinElement::show(bool visible) {
  if (control_) control_->show(visible ? SW_SHOW : SW_HIDE);
}

void SkinElement::enable(bool enabled) {
  if (control_) control_->enable(enabled);
}

LRESULT SkinElement::send(UINT message, WPARAM wParam, LPARAM lParam) {
  return control_ ? control_->sendMessage(message, wParam, lParam) : 0;
}

SkinProgram* SkinElement::program() const { return window_ ? window_->program_ : program_; }

LRESULT __stdcall SkinElement::onControlMessage(SkinControl* control, UINT message, WPARAM wParam,
                                                LPARAM lParam, BOOL* handled) {
  // Nothing may unwind into the engine: a failure leaves the message to it.
  bool done = false;
  LRESULT result = 0;
  try {
    result = dispatch(control, message, wParam, lParam, done);
  } catch (...) {
    done = false;
  }
  if (handled) *handled = done;
  return done ? result : 0;
}

LRESULT SkinElement::dispatch(SkinControl* control, UINT message, WPARAM wParam, LPARAM lParam,
                              bool& handled) {
  // Messages arrive while the engine is still creating the control.
  if (!control_ && message != WM_NCDESTROY) control_ = control;
  switch (message) {
    case kEngineClicked:
      raise(SkinEvent::Click);
      handled = true;
      return 0;
    case kEngineControlRecord:
      handled = true;
      return reinterpret_cast<LRESULT>(this);
    default:
      break;
  }
  LRESULT result = 0;
  if (SkinProgram* owner = program()) {
    result = owner->onSkinMessage(*this, message, wParam, lParam, handled);
    if (handled) return result;
  }
  if (message == WM_NCDESTROY) {
    // The window's program object hears nothing more, and the engine's
    // control is gone once this message is through.
    program_ = nullptr;
    control_ = nullptr;
    return 0;
  }
  // An event counts as handled only when the skin names a function for it:
  // a window without "onclose" still closes.
  if (const std::optional<SkinEvent> event = eventOf(message)) handled = raise(*event, wParam);
  return 0;
}

LRESULT __stdcall SkinElement::onNamedCommand(SkinControl*, const char* name,
                                              const char* argument) {
  SkinProgram* owner = program();
  if (!owner) return 0;
  try {
    return owner->onNamedCommand(*this, name ? name : "", argument ? argument : "");
  } catch (...) {
    return 0;
  }
}

// ----------------------------------------------------------------- windows

SkinWindow::SkinWindow(SkinSystem& system, ControlDescription description, SkinProgram* program)
    : keep_(system.shared_from_this()), description_(std::move(description)) {
  root_ = std::make_unique<SkinElement>(system, description_, nullptr);
  root_->program_ = program;
}

namespace {

// A pop-up element (the window's tooltip, the capture element) of a child
// window is owned by the top-level window above it, the host's, and would
// outlive the window it was built for.
void destroyPopups(SkinElement& element) {
  for (const auto& child : element.children()) {
    if (HWND w = child->window(); w && (GetWindowLongPtrW(w, GWL_STYLE) & WS_POPUP))
      DestroyWindow(w);
    else
      destroyPopups(*child);
  }
}

}  // namespace

SkinWindow::~SkinWindow() {
  // The program object may be going away with us: it hears nothing of the
  // destruction it asked for.
  root_->program_ = nullptr;
  destroyPopups(*root_);
  if (HWND w = window()) DestroyWindow(w);
}

int SkinWindow::messageBox(std::string_view textKey, UINT flags) {
  SkinControl* control = root_->control();
  if (!control) return 0;
  return control->messageBox(std::string(textKey).c_str(),
                             std::string(kTextMessageBoxTitle).c_str(), flags);
}

std::unique_ptr<SkinMenuHandle> SkinWindow::menu(std::string_view name) {
  const XmlElementHandle element = keep_->document().findWindow("menu", name);
  SkinControl* control = root_->control();
  if (!element || !control) return nullptr;
  SkinMenu* made = nullptr;
  if (keep_->manager().createMenu(element.serialise().c_str(), control, &made) != S_OK || !made)
    return nullptr;
  return std::make_unique<SkinMenuHandle>(made);
}

// ------------------------------------------------------------------ system

std::shared_ptr<SkinSystem> SkinSystem::acquire(const std::string& moduleFolder,
                                                const std::string& skinFolder) {
  std::shared_ptr<SkinSystem> system;  // one that fails to start ends outside the lock
  std::lock_guard lock(g_systemLock);
  if (g_running && g_runningThread != GetCurrentThreadId()) return nullptr;
  if (auto running = g_system.lock()) return running;
  system.reset(new SkinSystem());
  if (!system->start(moduleFolder, skinFolder)) return nullptr;
  g_system = system;
  g_running = system.get();
  g_runningThread = GetCurrentThreadId();
  return system;
}

bool SkinSystem::runsOnAnotherThread() {
  std::lock_guard lock(g_systemLock);
  return g_running && g_runningThread != GetCurrentThreadId();
}

bool SkinSystem::start(const std::string& moduleFolder, const std::string& skinFolder) {
  std::string folder = moduleFolder;
  if (!folder.empty() && !folder.ends_with('\\')) folder += '\\';
  // By full path only: a uiengine.dll elsewhere on the search path is never
  // ours. The engine stays loaded for the process, as COM may hold it too.
  static HMODULE engine = nullptr;
  if (!engine)
    engine = LoadLibraryExW(toWide(folder + kEngineFileName, kCodePageSystem).c_str(), nullptr,
                            LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!engine) return false;
  module_ = engine;
  auto getEngine = reinterpret_cast<GetUIEngineFunction>(
      reinterpret_cast<void*>(GetProcAddress(engine, kGetUIEngineName)));
  scripts_ = getEngine ? getEngine() : nullptr;
  if (!scripts_) return false;

  // From the class object of the file just loaded, never through the
  // registry: whatever a registration names (another user's, a stale
  // install's) is not this engine.
  void* made = nullptr;
  using GetClassObject = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
  auto getClassObject = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(engine, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  if (getClassObject && SUCCEEDED(getClassObject(kSkinManagerClassId, IID_IClassFactory,
                                                 reinterpret_cast<void**>(&factory)))) {
    factory->CreateInstance(nullptr, kSkinManagerInterfaceId, &made);
    factory->Release();
  }
  manager_ = static_cast<SkinManager*>(made);
  if (!manager_) return false;

  ids_ = ControlIds(static_cast<uint32_t>(std::time(nullptr)));
  scripts_->registerNative(currentObject, "GetCurObj", 0, kScriptIntegerType, 0, 0);
  scripts_->registerNative(currentWindow, "GetCurWnd", 0, kScriptIntegerType, 0, 0);
  if (!skinFolder.empty()) manager_->setSkinFolder(skinFolder.c_str());
  loadSkinFile(folder + kSkinFileName);
  manager_->loadLanguageFile((folder + kLanguageFileName).c_str());
  texts_.load(folder + kLanguageFileName);
  return true;
}

bool SkinSystem::loadSkinFile(const std::string& path) {
  EngineScripts scripts(*scripts_);
  return document_.loadFile(path, &scripts);
}

SkinSystem::~SkinSystem() {
  // Under the lock, so that a system starts on another thread only once the
  // engine is free again.
  std::lock_guard lock(g_systemLock);
  if (scripts_) scripts_->finish();
  if (manager_) manager_->Release();
  if (g_running == this) g_running = nullptr;
}

std::unique_ptr<SkinWindow> SkinSystem::createWindow(std::string_view name, HWND parent,
                                                     SkinProgram* program) {
  const XmlElementHandle element = document_.findWindow("window", name);
  if (!element) return nullptr;
  std::optional<ControlDescription> description = describeWindow(element, ids_);
  if (!description) return nullptr;
  // A child window needs a parent; without one it stands alone.
  if (!parent && (description->style & WS_CHILD))
    description->style = (description->style & ~WS_CHILD) | WS_POPUP;
  localiseDescription(*description, skinFileFolder(document_.fileOf(element)), texts_);
  std::unique_ptr<SkinWindow> window(new SkinWindow(*this, std::move(*description), program));
  if (!build(window->root(), parent)) return nullptr;

  const ControlDescription& d = window->description_;
  if (d.clientSize) {
    RECT frame = {0, 0, d.clientSize->width, d.clientSize->height};
    AdjustWindowRectEx(&frame, d.style, FALSE, d.exStyle);
    SetWindowPos(window->window(), nullptr, 0, 0, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  window->root().send(kEngineInitialised);
  return window;
}

bool SkinSystem::build(SkinElement& element, HWND parent) {
  const ControlDescription& d = element.description_;
  const RECT rect = {d.rect.x, d.rect.y, d.rect.x + d.rect.width, d.rect.y + d.rect.height};
  SkinControl* control = nullptr;
  if (manager_->createControl(guidOf(engineClassId(*d.type)), guidOf(engineInterfaceId(*d.type)),
                              d.caption.c_str(), d.style, d.exStyle, &rect, parent, &element,
                              &control) != S_OK ||
      !control) {
    element.control_ = nullptr;  // what creation messages left behind is gone
    return false;
  }
  element.control_ = control;
  control->setName(d.name.c_str());
  if (d.id) SetWindowLongPtrW(control->window(), GWLP_ID, d.id);
  for (const SkinMessage& m : d.messages)
    control->sendMessage(
        m.code, static_cast<WPARAM>(m.wParam),
        m.text ? reinterpret_cast<LPARAM>(m.text->c_str()) : static_cast<LPARAM>(m.lParam));
  SkinElement& window = element.ownerWindow();
  for (const ControlDescription& child : d.children) {
    auto made = std::make_unique<SkinElement>(*this, child, &window);
    // A control the engine refuses is left out with its subtree.
    if (build(*made, control->window())) element.children_.push_back(std::move(made));
  }
  return true;
}

void SkinSystem::makeCurrent(SkinElement* control, SkinElement* window) {
  manager_->setObject(kCurrentControlVariable, control ? control->control() : nullptr);
  manager_->setObject(kCurrentWindowVariable, window ? window->control() : nullptr);
}

std::string SkinSystem::text(std::string_view key, size_t bufferBytes) {
  std::string buffer(bufferBytes, '\0');
  DWORD size = static_cast<DWORD>(bufferBytes);
  manager_->getText(std::string(key).c_str(), buffer.data(), &size);
  buffer.resize(std::min<size_t>(size, bufferBytes ? bufferBytes - 1 : 0));
  return buffer;
}

std::string SkinSystem::log() const {
  std::string out;
  for (const std::string& problem : document_.problems()) out += problem + "\n";
  std::string engineLog(scripts_->copyLog(nullptr, 0) + 1, '\0');
  scripts_->copyLog(engineLog.data(), engineLog.size());
  out += engineLog.c_str();
  return out;
}

}  // namespace scribly
