#pragma once
// The conferencing host's window: one pane per participant, each holding that
// participant's plug-in, and the relay between their sinks.
#include <scribly.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/hand_player_win.h"
#include "host/hand_session.h"
#include "host/host_sink_win.h"
#include "net/relay_link.h"
#include "relay/relay_server.h"
#include "win/handles.h"

namespace scribly {

struct HostOptions {
  int participants = 2;
  bool peerToPeer = true;
  std::wstring screenshot;  // saved once the panes have painted
  bool exitAfterScreenshot = false;
  std::string skinFolder;
  // A scripted session for the first participant, played once all have joined.
  std::string script;
  // Real input from a simulated hand, played once the participants are in.
  HandSession hand;
  // The last participant joins only after the script and the hand have run.
  bool lateJoiner = false;
  // Compares every participant's mirrored board, exits non-zero on a difference.
  bool verify = false;
  // Where the first participant's mirror stream is recorded as it comes.
  std::wstring record;
  // Relay mode (server mode without the in-process relay): the participants
  // join a conference through these relay nodes, as users firstUser,
  // firstUser + 1, ..., each with its own token.
  std::vector<net::RelayAddress> relays;
  std::string conference;
  std::vector<std::vector<uint8_t>> tokens;
  uint32_t firstUser = 1;
};

class RelayLinks;

class HostWindow final : public Conference {
 public:
  explicit HostWindow(const HostOptions& options);
  ~HostWindow() override;
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  // Creates the window and every participant's plug-in; false with a reason.
  bool open(std::wstring& error);
  int run();

  void route(uint32_t fromUser, uint32_t target, std::span<const uint8_t> message,
             uint32_t level) override;
  std::string userName(uint32_t userId) const override;
  void notified(uint32_t fromUser, uintptr_t wParam, intptr_t lParam,
                const UINT_PTR* info) override;

 private:
  struct Participant {
    bool joined = false;
    std::vector<std::vector<uint8_t>> mirrored;
    uint32_t userId = 0;
    std::string name;
    std::unique_ptr<HostSink> sink;
    ComPtr<IPlugInClientEx> plugin;
    HWND pane = nullptr;
    HWND frame = nullptr;
  };

  template <class Owner>
  friend LRESULT CALLBACK forwardingWindowProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
  void layout();
  bool join(Participant& p, std::wstring& error);
  void joinLate();
  // Plays a scripted session on the participant's board, through the command
  // only the creating host can issue.
  void runScript(Participant& p, std::string_view script);
  void playHand();
  // The late joiner, then the screenshot and the comparison, once the
  // sessions have played.
  void scheduleAfterSessions();
  // Every participant's whole board as mirrored messages, compared; true when equal.
  bool verifyBoards();
  bool recorded(const Participant& p) const { return recording_ && &p == &participants_.front(); }
  // Writes the recording's end and closes it.
  void endRecordingFile();
  // The ended recording read back whole and replayed into a board of its own
  // holds what the recorded participant holds (as verifyBoards saw it).
  bool verifyRecording();
  // Applies what the relay links queued: deliveries, and links that ended.
  void takeRelayEvents();
  // Relay mode: true while the links are still busy, with `timer` set to ask
  // again; false once they are idle, or when waiting gave up (reported).
  bool awaitRelay(UINT_PTR timer);
  // Saves the screenshot, compares the boards and exits, as options ask.
  void finish();
  void paintTitles(HDC dc);
  Participant* participant(uint32_t userId);

  HostOptions options_;
  HWND window_ = nullptr;
  std::vector<Participant> participants_;
  std::unique_ptr<RelayServer> server_;
  std::unique_ptr<RelayLinks> relays_;
  ULONGLONG awaitingSince_ = 0;
  bool relayFailed_ = false;
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, FileCloser> recording_;
  // While verifyBoards collects the boards, mirrored messages go to it alone.
  bool reporting_ = false;
  HandPlayer hand_;
  int exitCode_ = 0;
};

}  // namespace scribly
