#include "plugin/scribly_object_win.h"

#include <oleauto.h>

#include "collab/conference_channel.h"
#include "plugin/module_win.h"
#include "win/messages.h"

using namespace scribly;

CScribly::CScribly() {
  InitializeCriticalSection(&lock_);
  lockModule();
}

CScribly::~CScribly() {
  frame_.reset();  // destroys the frame window if it still exists
  DeleteCriticalSection(&lock_);
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
  // A second Create would orphan the first frame and its window.
  if (frame_) return S_FALSE;
  FrameSettings settings;
  settings.parent = hParent;
  settings.sink = pSink;
  // Declared wide for the type library, but hosts pass 8-bit text.
  if (lpszSkin) settings.skinFolder = reinterpret_cast<const char*>(lpszSkin);
  settings.peerToPeer = bP2P != 0;
  frame_ = MainFrame::create(settings, nullptr);
  if (!frame_) return S_FALSE;
  frameWindow_ = frame_->window();
  ShowWindow(frameWindow_, SW_SHOW);
  if (pHwnd) *pHwnd = frameWindow_;
  return S_OK;
}

HRESULT CScribly::SetLang(LPWSTR, ULONG) { return S_OK; }

HRESULT CScribly::PropertySetting() { return S_OK; }

HRESULT CScribly::GetType(ULONG* pType) {
  if (!pType) return S_FALSE;
  *pType = kWhiteboardType;
  return S_OK;
}

HRESULT CScribly::Initialize(ULONG nUserID, ULONG nID) {
  if (!frame_) return S_FALSE;
  frame_->join(nUserID, nID);
  return S_OK;
}

HRESULT CScribly::DataIn(ULONG, BYTE* lpData, ULONG nLen) {
  if (!frame_ || nLen == 0) return S_FALSE;
  return frame_->postDataIn(lpData, nLen) ? S_OK : S_FALSE;
}

HRESULT CScribly::SetPrivilege(ULONG nPrivilege) {
  if (!frame_) return S_FALSE;
  frame_->postPrivilege(nPrivilege);
  InterlockedExchange(&privilege_, static_cast<LONG>(nPrivilege));
  return S_OK;
}

HRESULT CScribly::GetPrivilege(ULONG* pPrivilege) {
  if (!pPrivilege) return S_FALSE;
  *pPrivilege = static_cast<ULONG>(InterlockedCompareExchange(&privilege_, 0, 0));
  return S_OK;
}

HRESULT CScribly::Reset() {
  if (!frame_) return S_FALSE;
  frame_->reset();
  return S_OK;
}

HRESULT CScribly::ExecuteCMD(ULONG nCMDID, UINT_PTR wParam, LONG_PTR lParam, LONG bPost) {
  UINT message;
  if (nCMDID == kMirrorCommand)
    message = WM_PLUGIN_CMD_MIRROR;
  else if (nCMDID == kCommandEnableEditing)
    message = WM_PLUGIN_CMD_EDITING;
  else
    return S_FALSE;
  if (!frame_) return S_FALSE;
  return frame_->command(message, wParam, lParam, bPost != 0) ? S_OK : S_FALSE;
}

HRESULT CScribly::GetClassInfo(ITypeInfo** typeInfo) {
  if (!typeInfo) return S_FALSE;
  *typeInfo = nullptr;
  std::string path = moduleFilePath();
  wchar_t wide[MAX_PATH + 1] = {};
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  ITypeLib* library = nullptr;
  if (FAILED(LoadTypeLibEx(wide, REGKIND_NONE, &library))) return S_FALSE;
  HRESULT hr = library->GetTypeInfoOfGuid(CLSID_CScribly, typeInfo);
  library->Release();
  return SUCCEEDED(hr) ? S_OK : S_FALSE;
}
