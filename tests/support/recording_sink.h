#pragma once
// A host's side of one plug-in: keeps what it sends, mirrors and tells the
// host, and answers its questions as a host does.
#include <scribly.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace scribly {

using Messages = std::vector<std::vector<uint8_t>>;

class RecordingSink final : public IClientSink {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClientSink)) return E_NOINTERFACE;
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE SendTo(ULONG type, ULONG target, BYTE* data, ULONG length,
                                   ULONG level) override {
    sent.emplace_back(data, data + length);
    addressed.push_back({type, target, level});
    return S_OK;
  }
  // The host's buffer holds kInfoRoom bytes; a long answer fills it whole.
  HRESULT STDMETHODCALLTYPE GetUserInfo(ULONG, BYTE* buffer) override {
    std::memcpy(buffer, info.c_str(), std::min(info.size() + 1, kInfoRoom));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBufferSize(ULONG* size) override {
    *size = 32768;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMessageA(UINT_PTR command, LONG_PTR length,
                                        UINT_PTR* data) override {
    notes.push_back(command);
    const auto* bytes = reinterpret_cast<const uint8_t*>(data);
    if (command == 121) mirrored.emplace_back(bytes, bytes + length);
    return S_OK;
  }

  static constexpr size_t kInfoRoom = 8192;
  Messages sent, mirrored;                      // SendTo's bytes, GetMessage 121's
  std::vector<std::array<ULONG, 3>> addressed;  // SendTo's type, target and level
  std::vector<UINT_PTR> notes;                  // every GetMessage command
  std::string info = "<userbasic><name>Ann</name></userbasic>";
  LONG refs = 1;
};

}  // namespace scribly
