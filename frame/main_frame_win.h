#pragma once
// The plug-in's top-level window. Host calls that arrive on any thread become
// messages to this window, so all board work runs on its thread in call order.
#include <windows.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "collab/message_header.h"
#include "frame/command_table.h"
#include "frame/host_channel_win.h"
#include "frame/tool_panels_win.h"
#include "images/clipboard_capture_win.h"
#include "images/picture_edit_panel_win.h"
#include "share/contents_panel_win.h"
#include "share/library_tree_win.h"
#include "share/share_dialog_win.h"
#include "skin/skin_bridge_win.h"
#include "win/folders.h"
#include "win/message_origin.h"

struct IClientSink;

namespace scribly {

class FrameBoard;

// Longer host data is refused at the door: no whiteboard message is longer.
inline constexpr uint32_t kMaxHostDataBytes = kMaxMessageBytes;

// Receives what the host hands the frame, on the frame's thread.
class FrameHandler {
 public:
  virtual ~FrameHandler() = default;
  virtual void dataIn(std::span<const uint8_t> bytes) = 0;
  virtual void privilegeChanged(uint32_t privilege) = 0;
  virtual void mirrorCommand(uintptr_t wParam, intptr_t lParam) = 0;
  virtual void editingCommand(uintptr_t wParam, intptr_t lParam) = 0;
  virtual void joined(uint32_t userId, uint32_t peerId) = 0;
  virtual void reset() = 0;
};

struct FrameSettings {
  HWND parent = nullptr;
  IClientSink* sink = nullptr;
  std::string skinFolder;  // 8-bit, as the host passes it
  bool peerToPeer = false;
  // Where the skin engine, the skin and the language file are: the plug-in's
  // own folder. Empty: the frame is a plain window without skin.
  std::string moduleFolder;
};

class MainFrame final : public SkinProgram, private CommandTarget {
 public:
  // Creates the frame window as a child of settings.parent, sized to fill it.
  // A null `handler` gives the frame its own board and view; otherwise the
  // handler (a test's) receives the host's traffic and must outlive the frame.
  static std::unique_ptr<MainFrame> create(const FrameSettings& settings, FrameHandler* handler);
  ~MainFrame();
  MainFrame(const MainFrame&) = delete;
  MainFrame& operator=(const MainFrame&) = delete;

  HWND window() const { return window_; }
  // The window built from the skin's "scribly main frame"; null when the
  // skin could not be used and the frame is a plain window.
  SkinWindow* skin() { return skinWindow_.get(); }
  const std::string& backgroundFolder() const { return backgroundFolder_; }
  bool peerToPeer() const { return settings_.peerToPeer; }
  HostChannel& host() { return host_; }
  // The frame's own board, or null when a handler was given.
  FrameBoard* board() { return ownBoard_.get(); }

  // Copies the bytes and posts them; false when nothing was posted.
  bool postDataIn(const uint8_t* data, uint32_t length);
  // The privilege word and the commands are kept here and the message only
  // says there is one: a privilege, mirroring or editing message posted by
  // anyone else finds nothing to carry out.
  bool postPrivilege(uint32_t privilege);
  // Sends (handled on return) or posts (returns at once) a command message.
  bool command(UINT message, WPARAM wParam, LPARAM lParam, bool post);
  void join(uint32_t userId, uint32_t peerId);
  void reset();
  // Plays a scripted session on the frame's own board, on the frame's thread
  // only; true when every line applied.
  bool runScript(std::string_view script);
  // Opens the share dialog with a document's path (UTF-8) filled in.
  void shareDocumentPath(const std::string& path);

  // Heap copies of host data posted but not yet handled, in this process.
  static long pendingDataCopies();

  // The frame's pointer-polling timer.
  static constexpr UINT_PTR kPollTimer = 1;
  static constexpr UINT kPollMilliseconds = 10;

 private:
  MainFrame(const FrameSettings& settings, FrameHandler* handler);
  template <class Owner>
  friend LRESULT CALLBACK forwardingWindowProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
  // The host's messages, whichever window class the frame has; false for
  // any other message.
  bool handleHostMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  struct HostRequest {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  bool keepRequest(const HostRequest& request);
  // The oldest request kept for `message`; `newest` takes the last instead
  // (a message that could not be posted).
  std::optional<HostRequest> takeRequest(UINT message, bool newest = false);
  bool createPlainWindow();
  bool createSkinWindow();
  // A folder of this frame's own files (8-bit, ending in "\"; the files
  // folder itself for an empty name); empty when there is none.
  std::string filesFolder(std::wstring_view name) const;
  // The skin-built frame's elements, menus, timer and folders, once the
  // board exists.
  void wireSkin();
  // Keeps the page bar, the view and the library tree filling the frame, and
  // puts the extension panel where the height has room for it.
  void layout(int width, int height);
  void openExtensionPanel();
  // The privilege tip shows while a conference with a server withholds write.
  void showPrivilegeTip(bool write);
  // kCommandEnableEditing: editing on or off for the tool elements.
  void enableEditing(bool enable);
  // The elements that draw follow the write privilege and the editing switch,
  // the page elements the editing switch alone.
  void updateToolElements();
  // Highlights and runs the tool button for a shortcut key, as a click would.
  void activateToolButton(uint32_t keyCode);
  void clickButton(std::string_view name);
  void clearPageAsked();
  // The right button in the view: the selection's menu at that point.
  void openContextMenu(POINT view);
  void elementCommand(std::string_view element);
  void updatePasteButton();
  // The undo and redo buttons: enabled, and drawn so, while there is a step
  // of the shown page to take back or make again.
  void updateUndoButtons();
  SkinElement* element(std::string_view name);
  HWND viewWindow();

  // CommandTarget
  void selectTool(uint8_t tool) override;
  void focusView() override;
  void insertImage() override;
  void insertHandSymbol() override;
  void captureScreen(bool hidePlugin) override;
  void paste() override;
  void openMenu(std::string_view menu, std::string_view element) override;
  void setBackground(std::string_view item) override;
  void setBackgroundScale(double factor) override;
  void contextCommand(std::string_view item) override;
  void libraryCommand(std::string_view item) override;
  // The contents menu's "savepdf" and "savepng".
  void savePages(std::string_view command);
  void setLineStyle(uint32_t style) override;
  void showContents(std::string_view element) override;
  void goToNeighbourPage(int direction) override;
  void pageOption(uint32_t option) override;

  // SkinProgram
  LRESULT onSkinMessage(SkinElement& source, UINT message, WPARAM wParam, LPARAM lParam,
                        bool& handled) override;
  LRESULT onNamedCommand(SkinElement& source, std::string_view name,
                         std::string_view argument) override;
  void paint();
  void dropPendingData();

  // First in, last out: the frame's windows never see their thread's queue
  // unwatched.
  QueueWatch queueWatch_;
  FrameSettings settings_;
  FrameHandler* handler_;
  std::mutex requestsLock_;
  std::deque<HostRequest> requests_;
  HostChannel host_;
  // This frame's own files: backgrounds, print jobs, captures. It goes last.
  std::unique_ptr<InstanceFolder> files_;
  std::unique_ptr<FrameBoard> ownBoard_;
  std::string backgroundFolder_;
  std::shared_ptr<SkinSystem> skinSystem_;
  std::unique_ptr<SkinWindow> skinWindow_;
  // The extension panel's pop-up home on short frames.
  std::unique_ptr<SkinWindow> extToolBox_;
  // After the board and the skin window it paints into, so it goes first.
  std::unique_ptr<ToolPanels> panels_;
  std::unique_ptr<ScreenCapture> capture_;
  std::unique_ptr<PictureEditPanel> editPicture_;
  std::unique_ptr<LibraryTree> library_;
  // The dialog outlives the panel that reports to it.
  std::unique_ptr<ShareDialog> shareDialog_;
  std::unique_ptr<ContentsPanel> contents_;
  std::map<std::string, std::unique_ptr<SkinMenuHandle>, std::less<>> menus_;
  HWND window_ = nullptr;
  // The host's editing switch (kCommandEnableEditing) and the write privilege's.
  bool editing_ = true;
  bool drawing_ = true;
};

}  // namespace scribly
