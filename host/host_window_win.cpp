#include "host/host_window_win.h"

#include <cstdio>

#include "base/file_bytes.h"
#include "base/module_paths.h"
#include "board/recording_replay.h"
#include "collab/conference_channel.h"
#include "collab/messages.h"
#include "collab/recording.h"
#include "host/relay_links.h"
#include "host/screenshot_win.h"
#include "resources/private_commands.h"
#include "win/handles.h"
#include "win/text.h"
#include "win/window_proc.h"

namespace scribly {
namespace {

constexpr wchar_t kHostClass[] = L"ScriblyHost";
constexpr wchar_t kPaneClass[] = L"ScriblyHostPane";
constexpr int kTitleHeight = 28;
constexpr int kGap = 6;
constexpr UINT_PTR kScreenshotTimer = 1;
constexpr UINT_PTR kScriptTimer = 2;
constexpr UINT kScriptDelayMs = 300;
constexpr UINT_PTR kJoinTimer = 3;
constexpr UINT kJoinDelayMs = 1200;
constexpr UINT_PTR kHandTimer = 4;
constexpr UINT kHandDelayMs = 600;
constexpr UINT kScreenshotDelayMs = 2500;
constexpr UINT kLateScreenshotDelayMs = 4000;
// Relay mode: the links' thread asks the host's thread to take what came
// down. It carries nothing: whoever posts it only makes us drain our queue.
constexpr UINT kRelayEventsMessage = WM_APP + 1;
// Before a session plays (the boards need their id ranges) and before the
// boards are compared, the links must be idle this long; waiting gives up
// after kRelayPatienceMs.
constexpr auto kRelayQuiet = std::chrono::milliseconds(500);
constexpr UINT kRelayPollMs = 100;
constexpr ULONGLONG kRelayPatienceMs = 30000;
// Shows every page so a late joiner catches each of them up.
constexpr char kVisitPages[] = "page 1\npage 2\npage 3\npage 4\npage 5\npage 6\npage 1\n";
const char* const kNames[] = {"Ann", "Ben", "Cleo", "Dev"};

// By user id, so that hosts joined to one conference agree on the names.
std::string nameOf(uint32_t userId) {
  return userId >= 1 && userId <= std::size(kNames) ? kNames[userId - 1]
                                                    : "User " + std::to_string(userId);
}

const wchar_t* linkEndText(net::LinkEnd end) {
  switch (end) {
    case net::LinkEnd::kReset:
      return L"the relay cannot resume the session";
    case net::LinkEnd::kRefused:
      return L"the relay refused the join";
    case net::LinkEnd::kOverflow:
      return L"too much waited for the relay's confirmation";
    case net::LinkEnd::kLeft:
      break;
  }
  return L"the participant left";
}

std::wstring widen(const std::string& s) { return toWide(s); }

using Messages = std::vector<std::vector<uint8_t>>;

// Where two boards' reports part: "message I (code C) of N/M", for a log.
std::wstring whereReportsDiffer(const Messages& a, const Messages& b) {
  size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  const Messages& longer = at < a.size() ? a : b;
  const int code = at < longer.size() && !longer[at].empty() ? longer[at][0] >> 1 : -1;
  return L"message " + std::to_wstring(at) + L" (code " + std::to_wstring(code) + L") of " +
         std::to_wstring(a.size()) + L"/" + std::to_wstring(b.size());
}

// The templates the participants load, by name: the bitmaps of their
// background folder. A replayed board needs their names only.
BackgroundTemplates templateNames(const std::string& skinFolder) {
  BackgroundTemplates templates;
  const std::wstring folder = toWide(backgroundFolder(skinFolder), kCodePageSystem);
  WIN32_FIND_DATAW found;
  FindHandle search(FindFirstFileW((folder + L"*.bmp").c_str(), &found));
  if (!search) return templates;
  do {
    const std::wstring name = found.cFileName;
    templates.emplace(fromWide(name.substr(0, name.rfind(L'.')), kCodePageSystem),
                      BackgroundPicture::make(std::vector<uint8_t>(4), 1, 1));
  } while (FindNextFileW(search.get(), &found));
  return templates;
}

}  // namespace

HostWindow::HostWindow(const HostOptions& options) : options_(options) {}

HostWindow::~HostWindow() {
  // Plug-ins first: their frames still hold the sinks.
  for (Participant& p : participants_) p.plugin.reset();
  relays_.reset();
  endRecordingFile();
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
}

bool HostWindow::open(std::wstring& error) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  registerWindowClass(instance, kHostClass, &forwardingWindowProc<HostWindow>,
                      reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  registerWindowClass(instance, kPaneClass, DefWindowProcW,
                      reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1));
  window_ = CreateWindowExW(0, kHostClass, L"Scribly host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                            0, 0, 1280, 760, nullptr, nullptr, instance, this);
  if (!window_) {
    error = L"cannot create the host window";
    return false;
  }
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(L"Scribly.Scribly", &clsid);
  if (FAILED(hr)) {
    error = L"Scribly.Scribly is not registered";
    return false;
  }
  const int count = options_.participants < 1   ? 1
                    : options_.participants > 4 ? 4
                                                : options_.participants;
  participants_.resize(count);
  if (!options_.record.empty()) {
    recording_.reset(_wfopen(options_.record.c_str(), L"wb"));
    if (!recording_ || !writeRecordingHeader(recording_.get())) {
      error = L"cannot write the recording " + options_.record;
      return false;
    }
  }
  for (int i = 0; i < count; ++i) {
    Participant& p = participants_[i];
    p.userId = options_.firstUser + static_cast<uint32_t>(i);
    p.name = nameOf(p.userId);
    p.sink = std::make_unique<HostSink>(*this, p.userId);
    p.pane = CreateWindowExW(0, kPaneClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                             10, 10, window_, nullptr, instance, nullptr);
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPlugInClientEx,
                          p.plugin.putVoid());
    if (FAILED(hr) || !p.plugin) {
      error = L"cannot create a Scribly plug-in";
      return false;
    }
  }
  if (!options_.relays.empty()) {
    std::vector<net::RelayLinkOptions> links(participants_.size());
    for (size_t i = 0; i < links.size(); ++i) {
      links[i].relays = options_.relays;
      links[i].conference = options_.conference;
      links[i].user = participants_[i].userId;
      links[i].token = options_.tokens.at(i);
    }
    HWND window = window_;
    relays_ = std::make_unique<RelayLinks>(
        std::move(links), [window] { PostMessageW(window, kRelayEventsMessage, 0, 0); });
  } else if (!options_.peerToPeer) {
    server_ = std::make_unique<RelayServer>([this](uint32_t to, std::span<const uint8_t> m) {
      if (Participant* p = participant(to); p && p->joined)
        p->plugin->DataIn(0, const_cast<BYTE*>(m.data()), static_cast<ULONG>(m.size()));
    });
  }
  layout();
  const int joinNow = options_.lateJoiner && count > 1 ? count - 1 : count;
  for (int i = 0; i < joinNow; ++i)
    if (!join(participants_[i], error)) return false;
  layout();
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  if (!options_.script.empty()) SetTimer(window_, kScriptTimer, kScriptDelayMs, nullptr);
  if (!options_.hand.steps.empty())
    SetTimer(window_, kHandTimer, kHandDelayMs, nullptr);
  else
    scheduleAfterSessions();
  return true;
}

void HostWindow::scheduleAfterSessions() {
  const bool late = !participants_.back().joined;
  if (late) SetTimer(window_, kJoinTimer, kJoinDelayMs, nullptr);
  if (!options_.screenshot.empty() || options_.verify)
    SetTimer(window_, kScreenshotTimer, late ? kLateScreenshotDelayMs : kScreenshotDelayMs,
             nullptr);
}

void HostWindow::playHand() {
  std::vector<HWND> frames;
  for (const Participant& p : participants_) frames.push_back(p.joined ? p.frame : nullptr);
  const size_t steps = options_.hand.steps.size();
  hand_.start(options_.hand, window_, std::move(frames), [this, steps](const std::string& error) {
    if (error.empty()) {
      fwprintf(stderr, L"scribly-host: the hand played %zu steps\n", steps);
    } else {
      fwprintf(stderr, L"scribly-host: the hand session failed: %hs\n", error.c_str());
      exitCode_ = 5;
    }
    scheduleAfterSessions();
  });
}

bool HostWindow::join(Participant& p, std::wstring& error) {
  // Hosts pass the skin folder as 8-bit text through the wide-declared parameter.
  auto* skin = reinterpret_cast<LPWSTR>(const_cast<char*>(options_.skinFolder.c_str()));
  if (p.plugin->Create(p.pane, p.sink.get(), skin, options_.peerToPeer ? 1 : 0, &p.frame) != S_OK) {
    error = L"a plug-in could not build its window";
    return false;
  }
  uint32_t peer = 0;
  if (options_.peerToPeer) {
    const size_t i = static_cast<size_t>(&p - participants_.data());
    peer = participants_[(i + 1) % participants_.size()].userId;
  } else if (relays_) {
    relays_->start(static_cast<size_t>(&p - participants_.data()));
  } else {
    server_->connect(p.userId);
  }
  p.joined = true;
  p.plugin->Initialize(p.userId, peer);
  // The first participant joins first, whoever joins late: its recording
  // starts with its empty board and holds everything the session does.
  if (recorded(p)) p.plugin->ExecuteCMD(kMirrorCommand, 1, 0, 0);
  layout();
  return true;
}

void HostWindow::joinLate() {
  Participant& p = participants_.back();
  std::wstring error;
  if (p.joined || !join(p, error)) return;
  // The joiner looks at every page, as a participant catching up would.
  runScript(p, kVisitPages);
}

void HostWindow::runScript(Participant& p, std::string_view script) {
  const HRESULT hr =
      p.plugin->ExecuteCMD(kCommandRunScript, reinterpret_cast<UINT_PTR>(script.data()),
                           static_cast<LONG_PTR>(script.size()), 0);
  if (hr != S_OK)
    fwprintf(stderr, L"scribly-host: %hs's script did not apply whole\n", p.name.c_str());
}

bool HostWindow::verifyBoards() {
  // Mirroring reports the whole board first, as the messages that create it.
  // The recorded participant goes on mirroring; its report is not recorded.
  reporting_ = true;
  for (Participant& p : participants_) {
    p.mirrored.clear();
    if (p.joined) p.plugin->ExecuteCMD(kMirrorCommand, 1, 0, 0);
    if (p.joined && !recorded(p)) p.plugin->ExecuteCMD(kMirrorCommand, 0, 0, 0);
  }
  reporting_ = false;
  // Which page each participant looks at is its own business.
  auto content = [](const Messages& report) {
    Messages out;
    for (const auto& m : report)
      if (!m.empty() && (m[0] >> 1) != 74) out.push_back(m);
    return out;
  };
  const auto reference = content(participants_[0].mirrored);
  bool same = !reference.empty();
  for (size_t i = 1; i < participants_.size(); ++i) {
    const auto other = content(participants_[i].mirrored);
    if (other == reference) continue;
    same = false;
    fwprintf(stderr, L"scribly-host: %hs's board differs from %hs's at %ls\n",
             participants_[i].name.c_str(), participants_[0].name.c_str(),
             whereReportsDiffer(other, reference).c_str());
  }
  fwprintf(stderr, L"scribly-host: %zu messages describe each board; %ls\n", reference.size(),
           same ? L"all boards are identical" : L"boards differ");
  return same;
}

void HostWindow::endRecordingFile() {
  if (recording_ && !endRecording(recording_.get()))
    fwprintf(stderr, L"scribly-host: could not end the recording %ls\n", options_.record.c_str());
  recording_.reset();
}

bool HostWindow::verifyRecording() {
  const FileReadResult file =
      readFileBytes(fromWide(options_.record, kCodePageSystem), size_t{1} << 30);
  const std::optional<Recording> recording =
      file.ok() ? readRecording(file.bytes) : std::optional<Recording>();
  if (!recording || recording->cut) {
    fwprintf(stderr, L"scribly-host: the recording %ls is not whole\n", options_.record.c_str());
    return false;
  }
  ReplayBoard board(templateNames(options_.skinFolder));
  replayRecording(*board, recording->messages);
  const Messages replayed = board->contentReport();
  const Participant& p = participants_.front();
  const bool same = replayed == p.mirrored;
  fwprintf(stderr,
           L"scribly-host: the recording holds %zu messages; replayed, %ls %hs's board%ls\n",
           recording->messages.size(), same ? L"it holds" : L"it differs from", p.name.c_str(),
           same ? L"" : (L" at " + whereReportsDiffer(replayed, p.mirrored)).c_str());
  return same;
}

int HostWindow::run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return exitCode_ != 0 ? exitCode_ : static_cast<int>(msg.wParam);
}

void HostWindow::route(uint32_t fromUser, uint32_t target, std::span<const uint8_t> message,
                       uint32_t level) {
  // Server mode relays everything, whatever the target.
  if (relays_) {
    if (const Participant* p = participant(fromUser))
      relays_->send(static_cast<size_t>(p - participants_.data()), message);
    return;
  }
  if (server_) {
    server_->receive(fromUser, message);
    return;
  }
  // Target 0 is the whole conference; otherwise one participant.
  for (Participant& p : participants_) {
    if (!p.joined) continue;
    if (p.userId == fromUser || !p.plugin) continue;
    if (target != 0 && p.userId != target) continue;
    p.plugin->DataIn(fromUser, const_cast<BYTE*>(message.data()),
                     static_cast<ULONG>(message.size()));
  }
}

std::string HostWindow::userName(uint32_t userId) const {
  for (const Participant& p : participants_)
    if (p.userId == userId) return p.name;
  // Other hosts' participants, in a conference joined through relays.
  return relays_ ? nameOf(userId) : std::string();
}

void HostWindow::notified(uint32_t fromUser, uintptr_t wParam, intptr_t lParam,
                          const UINT_PTR* info) {
  Participant* p = participant(fromUser);
  if (!p || wParam != kMirrorCommand || !info || lParam <= 0 ||
      static_cast<size_t>(lParam) > BulkData::kMaxBytes)
    return;
  const std::span bytes(reinterpret_cast<const uint8_t*>(info), static_cast<size_t>(lParam));
  if (reporting_) {
    p->mirrored.emplace_back(bytes.begin(), bytes.end());
  } else if (recorded(*p) && !appendRecordedMessage(recording_.get(), bytes)) {
    fwprintf(stderr, L"scribly-host: could not write the recording %ls\n", options_.record.c_str());
    recording_.reset();
    if (exitCode_ == 0) exitCode_ = 1;
  }
}

HostWindow::Participant* HostWindow::participant(uint32_t userId) {
  for (Participant& p : participants_)
    if (p.userId == userId) return &p;
  return nullptr;
}

LRESULT HostWindow::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SIZE:
      layout();
      return 0;
    case WM_PAINT: {
      PaintDc dc(window_);
      paintTitles(dc.get());
      return 0;
    }
    case WM_TIMER:
      if (wParam == kScriptTimer) {
        KillTimer(window_, kScriptTimer);
        if (!awaitRelay(kScriptTimer) && !participants_.empty() && participants_[0].joined)
          runScript(participants_[0], options_.script);
      }
      if (wParam == kHandTimer) {
        KillTimer(window_, kHandTimer);
        if (!awaitRelay(kHandTimer)) playHand();
      }
      if (wParam == kJoinTimer) {
        KillTimer(window_, kJoinTimer);
        joinLate();
      }
      if (wParam == kScreenshotTimer) {
        KillTimer(window_, kScreenshotTimer);
        if (!awaitRelay(kScreenshotTimer)) finish();
      }
      return 0;
    case kRelayEventsMessage:
      takeRelayEvents();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, msg, wParam, lParam);
}

void HostWindow::finish() {
  bool ok = true;
  if (!options_.screenshot.empty()) {
    ok = saveWindowPng(window_, options_.screenshot);
    if (!ok) fwprintf(stderr, L"scribly-host: could not save %ls\n", options_.screenshot.c_str());
  }
  if (options_.verify && (relayFailed_ || !verifyBoards())) exitCode_ = 4;
  if (options_.exitAfterScreenshot && recording_) {
    endRecordingFile();
    if (options_.verify && !verifyRecording()) exitCode_ = 4;
  }
  if (!ok && exitCode_ == 0) exitCode_ = 1;
  if (options_.exitAfterScreenshot) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    PostQuitMessage(exitCode_);
  }
}

void HostWindow::takeRelayEvents() {
  // Only our own thread drains the queue, whoever posted the message.
  if (!relays_) return;
  while (std::optional<RelayLinks::Event> e = relays_->next()) {
    if (e->participant >= participants_.size()) continue;
    Participant& p = participants_[e->participant];
    if (e->end) {
      fwprintf(stderr, L"scribly-host: %hs's link ended: %ls (%hs)\n", p.name.c_str(),
               linkEndText(*e->end), e->why.c_str());
      relayFailed_ = true;
      continue;
    }
    if (p.joined && p.plugin)
      p.plugin->DataIn(0, e->message.data(), static_cast<ULONG>(e->message.size()));
  }
}

bool HostWindow::awaitRelay(UINT_PTR timer) {
  if (!relays_ || relayFailed_) return false;
  const ULONGLONG now = GetTickCount64();
  if (awaitingSince_ == 0) awaitingSince_ = now;
  if (relays_->settled(kRelayQuiet)) {
    awaitingSince_ = 0;
    return false;
  }
  if (now - awaitingSince_ > kRelayPatienceMs) {
    fwprintf(stderr, L"scribly-host: the relay links were still busy after %llu s\n",
             kRelayPatienceMs / 1000);
    relayFailed_ = true;
    return false;
  }
  SetTimer(window_, timer, kRelayPollMs, nullptr);
  return true;
}

void HostWindow::layout() {
  if (participants_.empty()) return;
  RECT client;
  GetClientRect(window_, &client);
  const int n = static_cast<int>(participants_.size());
  const int width = (client.right - kGap * (n + 1)) / n;
  const int height = client.bottom - kTitleHeight - kGap;
  for (int i = 0; i < n; ++i) {
    Participant& p = participants_[i];
    int x = kGap + i * (width + kGap);
    if (p.pane) MoveWindow(p.pane, x, kTitleHeight, width, height, TRUE);
    if (p.frame) MoveWindow(p.frame, 0, 0, width, height, TRUE);
  }
  InvalidateRect(window_, nullptr, TRUE);
}

void HostWindow::paintTitles(HDC dc) {
  RECT client;
  GetClientRect(window_, &client);
  const int n = static_cast<int>(participants_.size());
  if (n == 0) return;
  const int width = (client.right - kGap * (n + 1)) / n;
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  for (int i = 0; i < n; ++i) {
    const Participant& p = participants_[i];
    RECT title = {kGap + i * (width + kGap), 0, kGap + i * (width + kGap) + width, kTitleHeight};
    std::wstring text = widen(p.name) + L"  (user " + std::to_wstring(p.userId) + L")";
    DrawTextW(dc, text.c_str(), -1, &title, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  }
  SelectObject(dc, oldFont);
}

}  // namespace scribly
