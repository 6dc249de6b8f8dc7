// What a host does with a plug-in beyond the contract's calls: scripted
// sessions from the host itself (and from nobody else), and the replay of a
// recorded mirror stream through DataIn.
#include <gtest/gtest.h>
#include <scribly.h>

#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

#include "com_test_support.h"
#include "resources/private_commands.h"

namespace scribly::test {
namespace {

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

TEST_F(HostSession, ScriptsRunOnlyWhenTheCreatingThreadCallsDirectly) {
  Participant& p = join(1, 2);
  const Messages before = report(p);

  // Another process hands the frame a script the way a window message can.
  EXPECT_EQ(runProcess(L"\"" + selfPath() + L"\" --copy-script " +
                       std::to_wstring(reinterpret_cast<uintptr_t>(p.frame))),
            0u);
  pump();
  EXPECT_TRUE(p.sink.sent.empty());
  EXPECT_EQ(report(p), before);

  HRESULT fromOtherThread = S_OK;
  std::thread([&] { fromOtherThread = runScript(p, "rect 10 10 110 60"); }).join();
  EXPECT_EQ(fromOtherThread, S_FALSE);
  EXPECT_EQ(runScript(p, "rect 10 10 110 60", 1), S_FALSE);  // posted: the text would be gone
  pump();
  EXPECT_TRUE(p.sink.sent.empty());
  EXPECT_EQ(report(p), before);

  EXPECT_EQ(runScript(p, "rect 10 10 110 60"), S_OK);
  EXPECT_EQ(p.sink.sent.size(), 1u);
  EXPECT_NE(report(p), before);
}

TEST_F(HostSession, ReplayedMirrorStreamRebuildsBoardWithItsBigPictures) {
  Participant& recorded = join(1, 2);
  recorded.plugin->ExecuteCMD(121, 1, 0, 0);
  ASSERT_EQ(runScript(recorded, "picture 0 0 1024 1024\naddpage Two\npicture 20 20 900 700\n"),
            S_OK);
  const Messages stream = recorded.sink.mirrored;
  size_t bigPictures = 0;
  for (const auto& m : stream)
    if (m[0] >> 1 == 92 && m.size() >= 100000) ++bigPictures;
  ASSERT_EQ(bigPictures, 2u);

  Participant& replayed = join(3, 4);
  for (const auto& m : stream)
    ASSERT_EQ(replayed.plugin->DataIn(1, const_cast<BYTE*>(m.data()), static_cast<ULONG>(m.size())),
              S_OK)
        << "message of " << m.size() << " bytes, code " << (m[0] >> 1);
  pump();
  EXPECT_EQ(report(replayed), report(recorded));
}

}  // namespace
}  // namespace scribly::test
