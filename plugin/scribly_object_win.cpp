#include "plugin/scribly_object_win.h"

#include <oleauto.h>

#include "board/operation_script.h"
#include "collab/conference_channel.h"
#include "plugin/com_guard_win.h"
#include "plugin/module_win.h"
#include "resources/private_commands.h"
#include "win/handles.h"
#include "win/messages.h"
#include "win/module.h"
#include "win/text.h"

using namespace scribly;

CScribly::CScribly() { lockModule(); }

CScribly::~CScribly() {
  frame_.reset();  // destroys the frame window if it still exists
  unlockModule();
}

HRESULT CScribly::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPlugInClient) ||
      IsEqualIID(riid, IID_IPlugInClientEx))
    *object = static_cast<IPlugInClientEx*>(this);
  else if (IsEqualIID(riid, IID_IProvideClassInfo))
    *object = static_cast<IProvideClassInfo*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG CScribly::AddRef() { return InterlockedIncrement(&refs_); }

ULONG CScribly::Release() {
  LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return left;
}

HRESULT CScribly::Create(HWND hParent, IClientSink* pSink, LPWSTR lpszSkin, LONG bP2P,
                         HWND* pHwnd) {
  return guarded([&] {
    // A second Create would orphan the first frame and its window.
    if (frame_) return S_FALSE;
    FrameSettings settings;
    settings.parent = hParent;
    settings.sink = pSink;
    // Declared wide for the type library, but hosts pass 8-bit text.
    if (lpszSkin) settings.skinFolder = reinterpret_cast<const char*>(lpszSkin);
    settings.peerToPeer = bP2P != 0;
    settings.moduleFolder = moduleFolder();
    frame_ = MainFrame::create(settings, nullptr);
    if (!frame_) return S_FALSE;
    frameWindow_ = frame_->window();
    ShowWindow(frameWindow_, SW_SHOW);
    if (pHwnd) *pHwnd = frameWindow_;
    return S_OK;
  });
}

HRESULT CScribly::SetLang(LPWSTR, ULONG) { return S_OK; }

HRESULT CScribly::PropertySetting() { return S_OK; }

HRESULT CScribly::GetType(ULONG* pType) {
  if (!pType) return S_FALSE;
  *pType = kWhiteboardType;
  return S_OK;
}

HRESULT CScribly::Initialize(ULONG nUserID, ULONG nID) {
  return guarded([&] {
    if (!frame_) return S_FALSE;
    frame_->join(nUserID, nID);
    return S_OK;
  });
}

HRESULT CScribly::DataIn(ULONG, BYTE* lpData, ULONG nLen) {
  return guarded([&] {
    if (!frame_ || nLen == 0) return S_FALSE;
    return frame_->postDataIn(lpData, nLen) ? S_OK : S_FALSE;
  });
}

HRESULT CScribly::SetPrivilege(ULONG nPrivilege) {
  return guarded([&] {
    if (!frame_) return S_FALSE;
    frame_->postPrivilege(nPrivilege);
    InterlockedExchange(&privilege_, static_cast<LONG>(nPrivilege));
    return S_OK;
  });
}

HRESULT CScribly::GetPrivilege(ULONG* pPrivilege) {
  if (!pPrivilege) return S_FALSE;
  *pPrivilege = static_cast<ULONG>(InterlockedCompareExchange(&privilege_, 0, 0));
  return S_OK;
}

HRESULT CScribly::Reset() {
  return guarded([&] {
    if (!frame_) return S_FALSE;
    frame_->reset();
    return S_OK;
  });
}

HRESULT CScribly::ExecuteCMD(ULONG nCMDID, UINT_PTR wParam, LONG_PTR lParam, LONG bPost) {
  return guarded([&] {
    if (!frame_) return S_FALSE;
    if (nCMDID == kCommandRunScript) {
      // The text belongs to the caller, so the script runs during the call.
      const auto* text = reinterpret_cast<const char*>(wParam);
      if (bPost || !text || lParam <= 0 || static_cast<size_t>(lParam) > kMaxScriptBytes)
        return S_FALSE;
      return frame_->runScript(std::string_view(text, static_cast<size_t>(lParam))) ? S_OK
                                                                                    : S_FALSE;
    }
    UINT message;
    if (nCMDID == kMirrorCommand)
      message = WM_PLUGIN_CMD_MIRROR;
    else if (nCMDID == kCommandEnableEditing)
      message = WM_PLUGIN_CMD_EDITING;
    else
      return S_FALSE;
    return frame_->command(message, wParam, lParam, bPost != 0) ? S_OK : S_FALSE;
  });
}

HRESULT CScribly::GetClassInfo(ITypeInfo** typeInfo) {
  if (!typeInfo) return S_FALSE;
  *typeInfo = nullptr;
  return guarded([&] {
    const std::wstring path = toWide(moduleFilePath(), kCodePageSystem);
    ComPtr<ITypeLib> library;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put()))) return S_FALSE;
    return SUCCEEDED(library->GetTypeInfoOfGuid(CLSID_CScribly, typeInfo)) ? S_OK : S_FALSE;
  });
}
