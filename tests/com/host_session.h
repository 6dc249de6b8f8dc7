#pragma once
// A host's view of plug-ins in one window: participants created through the
// class factory, with sinks that keep what each plug-in sends and mirrors.
#include <gtest/gtest.h>
#include <scribly.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "com_test_support.h"
#include "resources/private_commands.h"

namespace scribly::test {

using Messages = std::vector<std::vector<uint8_t>>;

// A host's side of one participant: keeps what the plug-in sends and mirrors.
class RecordingSink final : public IClientSink {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClientSink)) return E_NOINTERFACE;
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE SendTo(ULONG, ULONG, BYTE* data, ULONG length, ULONG) override {
    sent.emplace_back(data, data + length);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetUserInfo(ULONG, BYTE* info) override {
    strcpy(reinterpret_cast<char*>(info), "<userbasic><name>Ann</name></userbasic>");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBufferSize(ULONG* size) override {
    *size = 32768;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMessageA(UINT_PTR command, LONG_PTR length,
                                        UINT_PTR* info) override {
    const auto* bytes = reinterpret_cast<const uint8_t*>(info);
    if (command == 121) mirrored.emplace_back(bytes, bytes + length);
    return S_OK;
  }

  Messages sent, mirrored;
};

class HostSession : public ::testing::Test {
 protected:
  struct Participant {
    IPlugInClientEx* plugin = nullptr;
    RecordingSink sink;
    HWND frame = nullptr;
  };

  void SetUp() override {
    // Loaded as the contract tests load it; it stays loaded for its window class.
    HMODULE module = LoadLibraryW(dllPath().c_str());
    ASSERT_NE(module, nullptr);
    auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_EQ(
        getClassObject(CLSID_CScribly, IID_IClassFactory, reinterpret_cast<void**>(&factory_)),
        S_OK);
    parent_ = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400, nullptr,
                              nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    for (Participant& p : participants_)
      if (p.plugin) p.plugin->Release();
    if (factory_) factory_->Release();
    DestroyWindow(parent_);
    pump();
  }
  Participant& join(ULONG user, ULONG peer) {
    Participant& p = participants_[count_++];
    EXPECT_EQ(
        factory_->CreateInstance(nullptr, IID_IPlugInClientEx, reinterpret_cast<void**>(&p.plugin)),
        S_OK);
    EXPECT_EQ(p.plugin->Create(parent_, &p.sink, nullptr, 1, &p.frame), S_OK);
    EXPECT_EQ(p.plugin->Initialize(user, peer), S_OK);
    return p;
  }
  static HRESULT runScript(Participant& p, std::string_view script, LONG post = 0) {
    return p.plugin->ExecuteCMD(kCommandRunScript, reinterpret_cast<UINT_PTR>(script.data()),
                                static_cast<LONG_PTR>(script.size()), post);
  }
  // The whole board as the messages that rebuild it, without the page each
  // participant happens to look at.
  static Messages report(Participant& p) {
    p.sink.mirrored.clear();
    p.plugin->ExecuteCMD(121, 1, 0, 0);
    p.plugin->ExecuteCMD(121, 0, 0, 0);
    Messages content;
    for (const auto& m : p.sink.mirrored)
      if (m[0] >> 1 != 74) content.push_back(m);
    return content;
  }

  IClassFactory* factory_ = nullptr;
  HWND parent_ = nullptr;
  Participant participants_[2];
  int count_ = 0;
};

}  // namespace scribly::test
