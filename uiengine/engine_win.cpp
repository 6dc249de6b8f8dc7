#include "uiengine/engine_win.h"

#include <algorithm>
#include <cstring>

#include "uiengine/control_kinds_win.h"
#include "uiengine/menu_win.h"
#include "win/handles.h"
#include "win/text.h"

namespace scribly {
namespace {

// The log keeps the newest lines up to this size.
constexpr size_t kMaxLogBytes = 64 * 1024;

const ControlType* typeOf(const CLSID& classId, const IID& interfaceId) {
  for (const ControlType& row : controlTypes()) {
    const EngineId c = engineClassId(row), i = engineInterfaceId(row);
    if (std::memcmp(&c, &classId, sizeof c) == 0 && std::memcmp(&i, &interfaceId, sizeof i) == 0)
      return &row;
  }
  return nullptr;
}

int64_t addressOf(Control* control) {
  return control ? reinterpret_cast<int64_t>(static_cast<SkinControl*>(control)) : 0;
}

bool isTrue(const ScriptValue& value) {
  return value.kind == ScriptValue::Kind::Integer ? value.integer != 0
                                                  : value.kind == ScriptValue::Kind::Text;
}

}  // namespace

Engine& Engine::instance() {
  static Engine engine;
  return engine;
}

Engine::Engine()
    : scripts_(std::make_unique<ScriptInterpreter>([this](std::string_view line) { log(line); })) {}

void Engine::log(std::string_view line) {
  std::wstring wide = toWide(line);
  wide += L"\n";
  OutputDebugStringW(wide.c_str());
  log_.append(line);
  log_ += '\n';
  if (log_.size() > kMaxLogBytes) log_.erase(0, log_.size() - kMaxLogBytes);
}

ScriptInterpreter& Engine::scripts() {
  if (!apiInstalled_) {
    apiInstalled_ = true;
    installScriptApi();
  }
  return *scripts_;
}

bool Engine::admits() {
  const DWORD self = GetCurrentThreadId();
  DWORD serving = 0;
  return thread_.compare_exchange_strong(serving, self) || serving == self;
}

void Engine::finishScripts() {
  if (!scripts_->finish()) return;
  apiInstalled_ = false;
  if (controls_.empty() && menus_.empty()) thread_ = 0;
}

void Engine::installScriptApi() {
  ScriptInterpreter& s = *scripts_;
  using Args = std::span<const ScriptValue>;
  auto target = [this](Args a, size_t i) -> Control* {
    return a.size() > i && a[i].kind == ScriptValue::Kind::Integer ? control(a[i].integer)
                                                                   : nullptr;
  };
  s.registerFunction("ui", "control", [this](Args) {
    return ScriptValue::of(addressOf(object(kCurrentControlVariable)));
  });
  s.registerFunction("ui", "window", [this](Args) {
    return ScriptValue::of(addressOf(object(kCurrentWindowVariable)));
  });
  s.registerFunction("ui", "command", [this](Args a) {
    Control* source = object(kCurrentControlVariable);
    Control* window = object(kCurrentWindowVariable);
    SkinControlOwner* owner = source && source->owner() ? source->owner()
                              : window                  ? window->owner()
                                                        : nullptr;
    if (!owner || a.empty() || a[0].kind != ScriptValue::Kind::Text) return ScriptValue::of(0);
    const std::string argument = a.size() > 1 && a[1].kind == ScriptValue::Kind::Text ? a[1].text
                                 : a.size() > 1 && a[1].kind == ScriptValue::Kind::Integer
                                     ? std::to_string(a[1].integer)
                                     : std::string();
    return ScriptValue::of(static_cast<int64_t>(
        owner->onNamedCommand(source ? source : window, a[0].text.c_str(), argument.c_str())));
  });
  s.registerFunction("ui", "show", [target](Args a) {
    Control* c = target(a, 0);
    if (c) c->show(a.size() < 2 || isTrue(a[1]) ? SW_SHOW : SW_HIDE);
    return ScriptValue::of(c ? 1 : 0);
  });
  s.registerFunction("ui", "enable", [target](Args a) {
    Control* c = target(a, 0);
    if (c) c->enable(a.size() < 2 || isTrue(a[1]));
    return ScriptValue::of(c ? 1 : 0);
  });
  s.registerFunction("ui", "check", [target](Args a) {
    Control* c = target(a, 0);
    if (!c) return ScriptValue::of(0);
    if (a.size() >= 2) c->sendMessage(BM_SETCHECK, isTrue(a[1]) ? BST_CHECKED : BST_UNCHECKED, 0);
    return ScriptValue::of(c->sendMessage(BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
  });
  s.registerFunction("ui", "text", [target](Args a) {
    Control* c = target(a, 0);
    if (!c) return ScriptValue();
    if (a.size() >= 2 && a[1].kind == ScriptValue::Kind::Text) c->setText(a[1].text.c_str());
    std::string text(c->getText(nullptr, 0) + 1, '\0');
    text.resize(std::min(c->getText(text.data(), text.size()), text.size() - 1));
    return ScriptValue::of(std::move(text));
  });
  s.registerFunction("ui", "find", [target](Args a) {
    Control* c = target(a, 0);
    if (!c || a.size() < 2 || a[1].kind != ScriptValue::Kind::Text) return ScriptValue::of(0);
    return ScriptValue::of(addressOf(c->find(a[1].text)));
  });
}

void Engine::setObject(std::string_view name, Control* control) {
  if (control)
    objects_.insert_or_assign(std::string(name), control);
  else if (auto it = objects_.find(name); it != objects_.end())
    objects_.erase(it);
}

Control* Engine::object(std::string_view name) const {
  auto it = objects_.find(name);
  return it == objects_.end() ? nullptr : it->second;
}

std::string Engine::resolveSkinFile(std::string_view file) const {
  const bool absolute =
      (file.size() > 1 && file[1] == ':') || file.starts_with("\\") || file.starts_with("/");
  if (absolute || skinFolder_.empty()) return std::string(file);
  // The folder is 8-bit system text, the name UTF-8 from the skin: both
  // become UTF-8 here.
  std::string folder = fromWide(toWide(skinFolder_, kCodePageSystem));
  if (!folder.ends_with('\\') && !folder.ends_with('/')) folder += '\\';
  return folder + std::string(file);
}

int Engine::dpi() {
  if (dpi_ <= 0) {
    ScreenDc screen;
    dpi_ = screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
    if (dpi_ <= 0) dpi_ = 96;
  }
  return dpi_;
}

Control* Engine::create(const CLSID& classId, const IID& interfaceId, const char* caption,
                        DWORD style, DWORD exStyle, const RECT& rect, HWND parent,
                        SkinControlOwner* owner) {
  const ControlType* type = typeOf(classId, interfaceId);
  if (!type) {
    log("no control type for the identifiers given");
    return nullptr;
  }
  std::unique_ptr<Control> made = makeControl(*this, *type, owner);
  Control* control = made.get();
  if (!control->createWindow(caption, style, exStyle, rect, parent)) {
    log("cannot create a " + std::string(type->name) + " window");
    return nullptr;
  }
  controls_[control->window()] = std::move(made);
  return control;
}

Control* Engine::control(HWND window) const {
  if (!window) return nullptr;
  auto it = controls_.find(window);
  return it == controls_.end() || it->second->dead_ ? nullptr : it->second.get();
}

Control* Engine::control(int64_t address) const {
  for (const auto& [window, control] : controls_)
    if (addressOf(control.get()) == address && !control->dead_) return control.get();
  return nullptr;
}

Menu* Engine::createMenu(std::string_view markup, HWND window) {
  auto menu = std::make_unique<Menu>(*this, window);
  if (!menu->build(markup)) {
    log("no menu in the text given");
    return nullptr;
  }
  menus_.push_back(std::move(menu));
  return menus_.back().get();
}

void Engine::releaseMenu(Menu* menu) {
  std::erase_if(menus_, [menu](const std::unique_ptr<Menu>& held) { return held.get() == menu; });
}

void Engine::destroyPopupsOf(HWND window) {
  std::vector<HWND> popups;
  for (const auto& [handle, control] : controls_)
    if (control->madeUnder_ == window && !control->dead_) popups.push_back(handle);
  // Each one leaves the table as it goes.
  for (HWND popup : popups) DestroyWindow(popup);
}

void Engine::forget(HWND window) {
  auto it = controls_.find(window);
  if (it == controls_.end()) return;
  for (auto v = objects_.begin(); v != objects_.end();)
    v = v->second == it->second.get() ? objects_.erase(v) : std::next(v);
  controls_.erase(it);
}

}  // namespace scribly
