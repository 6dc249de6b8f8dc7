#pragma once
// The host's side of one participant: the IClientSink its plug-in calls.
#include <scribly.h>

#include <cstdint>
#include <span>
#include <string>

namespace scribly {

// Where a participant's outgoing traffic goes.
class Conference {
 public:
  virtual ~Conference() = default;
  virtual void route(uint32_t fromUser, uint32_t target, std::span<const uint8_t> message,
                     uint32_t level) = 0;
  virtual std::string userName(uint32_t userId) const = 0;
  virtual void notified(uint32_t fromUser, uintptr_t wParam, intptr_t lParam,
                        const UINT_PTR* info) = 0;
};

class HostSink final : public IClientSink {
 public:
  HostSink(Conference& conference, uint32_t userId) : conference_(conference), userId_(userId) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE SendTo(ULONG nType, ULONG nTargetID, BYTE* lpData, ULONG nLen,
                                   ULONG nLevel) override;
  HRESULT STDMETHODCALLTYPE GetUserInfo(ULONG nUserID, BYTE* lpszInfo) override;
  HRESULT STDMETHODCALLTYPE GetBufferSize(ULONG* wlpBufferSize) override;
  HRESULT STDMETHODCALLTYPE GetMessageA(UINT_PTR wParam, LONG_PTR lParam, UINT_PTR* pInfo) override;

 private:
  Conference& conference_;
  uint32_t userId_;
  volatile LONG refs_ = 1;  // owned by its participant; plug-ins add their own holds
};

}  // namespace scribly
