#include "host/host_sink_win.h"

#include <cstring>

#include "host/user_info.h"

namespace scribly {
namespace {

constexpr ULONG kPluginType = 13049;
constexpr size_t kUserInfoBytes = 8192;  // what a plug-in's buffer holds
constexpr ULONG kMaxMessageBytes = 32768;

}  // namespace

HRESULT HostSink::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClientSink)) return E_NOINTERFACE;
  *object = static_cast<IClientSink*>(this);
  AddRef();
  return S_OK;
}

ULONG HostSink::AddRef() { return InterlockedIncrement(&refs_); }

ULONG HostSink::Release() { return InterlockedDecrement(&refs_); }

HRESULT HostSink::SendTo(ULONG nType, ULONG nTargetID, BYTE* lpData, ULONG nLen, ULONG nLevel) {
  if (nType != kPluginType || !lpData || nLen == 0 || nLen > kMaxMessageBytes) return S_FALSE;
  conference_.route(userId_, nTargetID, std::span<const uint8_t>(lpData, nLen), nLevel);
  return S_OK;
}

HRESULT HostSink::GetUserInfo(ULONG nUserID, BYTE* lpszInfo) {
  if (!lpszInfo) return S_FALSE;
  std::string xml = userInfoXml(nUserID, conference_.userName(nUserID));
  size_t n = std::min(xml.size(), kUserInfoBytes - 1);
  memcpy(lpszInfo, xml.data(), n);
  lpszInfo[n] = 0;
  return S_OK;
}

HRESULT HostSink::GetBufferSize(ULONG* wlpBufferSize) {
  if (wlpBufferSize) *wlpBufferSize = kMaxMessageBytes;
  return S_OK;
}

HRESULT HostSink::GetMessageA(UINT_PTR wParam, LONG_PTR lParam, UINT_PTR* pInfo) {
  conference_.notified(userId_, wParam, lParam, pInfo);
  return S_OK;
}

}  // namespace scribly
