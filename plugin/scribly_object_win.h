#pragma once
// CScribly: the COM object the conferencing host creates once per conference.
// Host calls become messages to the main frame; only GetType and GetPrivilege
// answer directly. No exception leaves a method: failures answer S_FALSE.
#include <ocidl.h>
#include <scribly.h>

#include <memory>

#include "frame/main_frame_win.h"

class CScribly final : public IPlugInClientEx, public IProvideClassInfo {
 public:
  CScribly();
  ~CScribly();
  CScribly(const CScribly&) = delete;
  CScribly& operator=(const CScribly&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IPlugInClient
  HRESULT STDMETHODCALLTYPE Create(HWND hParent, IClientSink* pSink, LPWSTR lpszSkin, LONG bP2P,
                                   HWND* pHwnd) override;
  HRESULT STDMETHODCALLTYPE SetLang(LPWSTR lpszLang, ULONG nParam) override;
  HRESULT STDMETHODCALLTYPE PropertySetting() override;
  HRESULT STDMETHODCALLTYPE GetType(ULONG* pType) override;
  HRESULT STDMETHODCALLTYPE Initialize(ULONG nUserID, ULONG nID) override;
  HRESULT STDMETHODCALLTYPE DataIn(ULONG nUserID, BYTE* lpData, ULONG nLen) override;
  HRESULT STDMETHODCALLTYPE SetPrivilege(ULONG nPrivilege) override;
  HRESULT STDMETHODCALLTYPE GetPrivilege(ULONG* pPrivilege) override;
  HRESULT STDMETHODCALLTYPE Reset() override;

  // IPlugInClientEx
  HRESULT STDMETHODCALLTYPE ExecuteCMD(ULONG nCMDID, UINT_PTR wParam, LONG_PTR lParam,
                                       LONG bPost) override;

  // IProvideClassInfo
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** typeInfo) override;

 private:
  volatile LONG refs_ = 0;
  std::unique_ptr<scribly::MainFrame> frame_;
  HWND frameWindow_ = nullptr;
  volatile LONG privilege_ = 1;
};
