#include "tests/support/win_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "skin/ui_engine_win.h"
#include "win/dib.h"
#include "win/folders.h"
#include "win/messages.h"
#include "win/text.h"
#include "win/thread_windows.h"

namespace scribly {

void pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

bool pumpUntil(const std::function<bool()>& done, const char* what, DWORD timeoutMs) {
  for (const DWORD start = GetTickCount();;) {
    pump();
    if (done()) return true;
    if (GetTickCount() - start > timeoutMs) {
      ADD_FAILURE() << "gave up waiting after " << timeoutMs << " ms: " << what;
      return false;
    }
    // Wakes at the next message; the short bound catches what other threads
    // and processes change without telling this one.
    MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

void settle(DWORD ms) {
  for (const DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
    pump();
    MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  pump();
}

namespace {

std::wstring selfPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

}  // namespace

std::wstring besideSelf(const std::wstring& file) {
  const std::wstring self = selfPath();
  return self.substr(0, self.rfind(L'\\') + 1) + file;
}

std::wstring tempPath(const std::wstring& name) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  return folder + name;
}

std::string narrow(const std::wstring& wide) {
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(n > 0 ? static_cast<size_t>(n) : 1, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text.data(), n, nullptr, nullptr);
  text.resize(std::strlen(text.c_str()));
  return text;
}

bool writeFile(const std::wstring& path, std::string_view bytes) {
  const FileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file &&
         WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

TempFolder::TempFolder(const std::wstring& name) {
  static int made = 0;
  path_ = tempPath(name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                   std::to_wstring(++made));
  CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { deleteFolderTree(path_); }

HostWindow::HostWindow(int width, int height, DWORD style)
    : window_(CreateWindowExW(0, L"STATIC", L"host", style, 0, 0, width, height, nullptr, nullptr,
                              nullptr, nullptr)) {}

HostWindow::~HostWindow() {
  DestroyWindow(window_);
  pump();
}

Process::Process(std::wstring commandLine) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return;
  CloseHandle(info.hThread);
  process_.reset(info.hProcess);
}

DWORD Process::wait(DWORD timeoutMs) {
  const HANDLE process = process_.get();
  if (!process) return ~0u;
  for (const DWORD start = GetTickCount();
       MsgWaitForMultipleObjects(1, &process, FALSE, 1000, QS_ALLINPUT) != WAIT_OBJECT_0;) {
    if (GetTickCount() - start > timeoutMs) return ~0u;
    pump();
  }
  DWORD code = ~0u;
  GetExitCodeProcess(process, &code);
  return code;
}

DWORD runProcess(const std::wstring& commandLine) { return Process(commandLine).wait(); }

std::wstring thisProgram(const std::wstring& arguments) {
  return L"\"" + selfPath() + L"\" " + arguments;
}

bool putOnClipboard(const std::vector<std::pair<UINT, std::vector<uint8_t>>>& formats) {
  if (!OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  for (const auto& [format, bytes] : formats) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    SetClipboardData(format, memory);
  }
  return CloseClipboard() != FALSE;
}

std::string skinName(HWND window) {
  char name[128] = {};
  if (SendMessageW(window, WM_SKIN_GET_NAME, reinterpret_cast<WPARAM>(name), sizeof name) != 0)
    return {};
  return name;
}

std::wstring className(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring windowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::vector<HWND> descendants(HWND top) {
  std::vector<HWND> found{top};
  EnumChildWindows(
      top,
      [](HWND w, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND findSkinWindow(HWND root, const char* name) {
  for (HWND top : root ? std::vector<HWND>{root} : threadWindows())
    for (HWND w : descendants(top))
      if (skinName(w) == name) return w;
  return nullptr;
}

HWND visiblePanel(const char* name) {
  for (HWND w : threadWindows())
    if (IsWindowVisible(w) && skinName(w) == name) return w;
  return nullptr;
}

namespace {

HandStep handStep(HandAction action, uint32_t value = 0, const std::wstring& file = {}) {
  HandStep step;
  step.action = action;
  step.value = value;
  step.text = fromWide(file);
  return step;
}

}  // namespace

Hand::Hand() : previous_(std::exchange(current(), this)) {
  timer_ = SetTimer(nullptr, 0, 30, &Hand::tick);
}

Hand::~Hand() {
  KillTimer(nullptr, timer_);
  current() = previous_;
}

Hand*& Hand::current() {
  static Hand* hand = nullptr;
  return hand;
}

void CALLBACK Hand::tick(HWND, UINT, UINT_PTR, DWORD) {
  if (current()) current()->step();
}

bool Hand::busy() const {
  return player_.playing() || visibleThreadWindow(L"#32768") || visibleThreadWindow(L"#32770");
}

void Hand::play(HandStep step, HWND frame) {
  HandSession session;
  session.steps.push_back(std::move(step));
  player_.start(session, nullptr, {frame}, [](const std::string& error) { EXPECT_EQ(error, ""); });
}

void Hand::click(HWND window, std::optional<POINT> client, bool right) {
  RECT box;
  GetClientRect(window, &box);
  POINT at = client.value_or(POINT{box.right / 2, box.bottom / 2});
  // A second press on the same spot soon after the first is a double click:
  // the hand presses a little lower, or waits when there is no room.
  static DWORD lastTime = 0;
  static POINT lastAt = {};
  POINT screen = at;
  ClientToScreen(window, &screen);
  auto twice = [&] {
    return std::abs(screen.x - lastAt.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
           std::abs(screen.y - lastAt.y) <= GetSystemMetrics(SM_CYDOUBLECLK) &&
           GetTickCount() - lastTime <= GetDoubleClickTime();
  };
  const int step = GetSystemMetrics(SM_CYDOUBLECLK) + 1;
  if (twice() && at.y + step < box.bottom) {
    at.y += step;
    screen.y += step;
  }
  pumpUntil([&] { return !twice(); }, "the double-click time to pass");
  HandStep press = handStep(right ? HandAction::RightClick : HandAction::Click);
  press.element = skinName(window);
  press.atCentre = false;
  press.x1 = at.x;
  press.y1 = at.y;
  HWND parent = GetParent(window);
  play(press, parent ? parent : window);
  pumpUntil([this] { return !busy(); }, "the hand's input and what it opened");
  lastTime = GetTickCount();
  lastAt = screen;
  SetCursorPos(kPointerAway.x, kPointerAway.y);
  settle(60);
}

std::wstring Hand::shown() const {
  std::wstring all;
  for (const std::wstring& text : texts) all += text;
  return all;
}

bool Hand::finish(DWORD timeoutMs) {
  return pumpUntil([this] { return menus + dialogs > 0 && !busy(); }, "a menu or a dialog",
                   timeoutMs);
}

void Hand::step() {
  if (player_.playing() || (answered_ && IsWindowVisible(answered_))) return;
  answered_ = nullptr;
  if (HWND window = menuItem ? visibleThreadWindow(L"#32768") : nullptr) {
    constexpr UINT kGetMenu = 0x01E1;  // MN_GETHMENU
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(window, kGetMenu, 0, 0));
    if (!menu) return;
    answered_ = window;
    ++menus;
    menuStates.clear();
    for (UINT i = 0; i < static_cast<UINT>(GetMenuItemCount(menu)); ++i) {
      wchar_t text[256] = {};
      GetMenuStringW(menu, i, text, 256, MF_BYPOSITION);
      texts.push_back(text);
      menuStates.push_back(GetMenuState(menu, i, MF_BYPOSITION));
    }
    const auto chosen = static_cast<size_t>(*menuItem);  // a negative one is beyond them all
    if (chosen < menuStates.size() && !(menuStates[chosen] & (MF_GRAYED | MF_DISABLED)))
      play(handStep(HandAction::Menu, static_cast<uint32_t>(chosen)));
    else
      EndMenu();
    return;
  }
  if (menuOnly) {
    if (previous_) previous_->step();
    return;
  }
  for (HWND dialog : threadWindows()) {
    if (!IsWindowVisible(dialog) || className(dialog) != L"#32770" ||
        (!title.empty() && windowText(dialog) != title))
      continue;
    answered_ = dialog;
    ++dialogs;
    for (HWND w : descendants(dialog)) texts.push_back(windowText(w));
    if (!path.empty()) return play(handStep(HandAction::SaveFile, 0, path));
    int id = button && GetDlgItem(dialog, button) ? button : 0;
    for (int other : {IDCANCEL, IDNO, IDOK})
      if (!id && GetDlgItem(dialog, other)) id = other;
    return play(handStep(HandAction::Answer, static_cast<uint32_t>(id)));
  }
}

std::wstring answerBox(const std::function<void()>& action, WPARAM button, const wchar_t* title,
                       DWORD timeoutMs) {
  Hand hand;
  hand.title = title;
  hand.button = static_cast<int>(button);
  action();
  hand.finish(timeoutMs);
  return hand.shown();
}

std::vector<HTREEITEM> treeChildren(HWND tree, HTREEITEM parent) {
  std::vector<HTREEITEM> items;
  auto next = [tree](HTREEITEM from, UINT relation) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(from)));
  };
  for (HTREEITEM item = parent ? next(parent, TVGN_CHILD) : next(nullptr, TVGN_ROOT); item;
       item = next(item, TVGN_NEXT))
    items.push_back(item);
  return items;
}

std::wstring treeLabel(HWND tree, HTREEITEM item) {
  wchar_t text[256] = {};
  TVITEMW read = {};
  read.mask = TVIF_TEXT;
  read.hItem = item;
  read.pszText = text;
  read.cchTextMax = 256;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&read));
  return text;
}

LPARAM treeData(HWND tree, HTREEITEM item) { return treeItem(tree, item).lParam; }

bool treeItemBox(HWND tree, HTREEITEM item, RECT& box) {
  std::memcpy(&box, &item, sizeof item);  // the message takes the item in the rectangle
  return SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&box)) != 0;
}

POINT treeItemCentre(HWND tree, HTREEITEM item) {
  RECT box = {};
  treeItemBox(tree, item, box);
  return {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
}

void clickTreeItem(HWND tree, HTREEITEM item, bool right) {
  // The pointer on the label, where the tree's hit test finds it.
  const POINT p = treeItemCentre(tree, item);
  POINT screen = p;
  ClientToScreen(tree, &screen);
  SetCursorPos(screen.x, screen.y);
  const UINT down = right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
  PostMessageW(tree, down + 1, 0, MAKELPARAM(p.x, p.y));
  SendMessageW(tree, down, right ? MK_RBUTTON : MK_LBUTTON, MAKELPARAM(p.x, p.y));
  pump();
}

std::string treeMarkup(HWND tree, HTREEITEM item) {
  char markup[1024] = {};
  TreeText text = {markup, sizeof markup};
  SendMessageW(tree, kTreeGetItemMarkup, reinterpret_cast<WPARAM>(item),
               reinterpret_cast<LPARAM>(&text));
  return markup;
}

TVITEMW treeItem(HWND tree, HTREEITEM item) {
  TVITEMW read = {};
  read.mask = TVIF_PARAM | TVIF_IMAGE | TVIF_STATE | TVIF_HANDLE;
  read.stateMask = TVIS_EXPANDED;
  read.hItem = item;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&read));
  return read;
}

std::string treeTipAt(HWND tree, POINT p) {
  ClientToScreen(tree, &p);
  SetCursorPos(p.x, p.y);
  char tip[kMaxTipMarkupBytes] = {};
  if (SendMessageW(tree, kTreeTipRequest, reinterpret_cast<WPARAM>(tip), sizeof tip) != kTipWritten)
    return "none";
  return tip;
}

void chooseFromTreeMenu(HWND tree, HTREEITEM item, int index) {
  Hand hand;
  hand.menuItem = index;
  hand.menuOnly = true;  // what the item opens is the caller's
  clickTreeItem(tree, item, true);
  hand.finish();
  pump();
}

int Shot::darkerThan(int sum) const {
  int n = 0;
  for (uint32_t p : pixels) n += static_cast<int>((p >> 16) + (p >> 8 & 0xFF) + (p & 0xFF)) < sum;
  return n;
}

namespace {

// Copies `area` of a device context into a top-down 32-bit picture.
Shot copyPixels(HDC from, int x, int y, int width, int height) {
  if (width <= 0 || height <= 0) return {};
  Shot shot{width, height, {}};
  const BITMAPINFO info = dibInfo(width, height, 32, DibRows::TopDown);
  void* bits = nullptr;
  MemoryDc memory(from);
  Bitmap bitmap(CreateDIBSection(from, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  ScopedSelect selected(memory.get(), bitmap.get());
  BitBlt(memory.get(), 0, 0, width, height, from, x, y, SRCCOPY);
  GdiFlush();
  const auto* first = static_cast<const uint32_t*>(bits);
  shot.pixels.assign(first, first + static_cast<size_t>(width) * height);
  for (uint32_t& p : shot.pixels) p &= kWhite;
  return shot;
}

}  // namespace

Shot shown(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  return copyPixels(WindowDc(window).get(), 0, 0, client.right, client.bottom);
}

Shot shoot(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  return shown(window);
}

Shot screenShotOf(HWND window) {
  RECT r, top;
  GetWindowRect(window, &r);
  GetWindowRect(GetAncestor(window, GA_ROOT), &top);
  IntersectRect(&r, &r, &top);
  return copyPixels(ScreenDc().get(), r.left, r.top, r.right - r.left, r.bottom - r.top);
}

}  // namespace scribly
