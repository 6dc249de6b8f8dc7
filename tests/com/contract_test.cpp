// The plug-in as a host built from the IDL sees it: loaded from scribly.dll,
// created through its class factory, driven through its interfaces only.
#include <gtest/gtest.h>
#include <ocidl.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <scribly.h>

#include <thread>
#include <utility>

#include "host_session.h"
#include "skin/ui_engine_win.h"

namespace scribly::test {
namespace {

constexpr ULONG kPoison = 0xDEADBEEF;

// One plug-in, created but not yet given its window.
class Contract : public HostSession {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(HostSession::SetUp());
    ASSERT_EQ(
        factory_->CreateInstance(nullptr, IID_IPlugInClientEx, reinterpret_cast<void**>(&plugin_)),
        S_OK);
  }
  void TearDown() override {
    if (plugin_) plugin_->Release();
    HostSession::TearDown();
  }
  HWND create(const char* skin = "C:\\Skins\\Blue\\", LONG p2p = 1) {
    HWND frame = nullptr;
    EXPECT_EQ(plugin_->Create(parent_, nullptr, reinterpret_cast<LPWSTR>(const_cast<char*>(skin)),
                              p2p, &frame),
              S_OK);
    return frame;
  }

  IPlugInClientEx* plugin_ = nullptr;
};

TEST_F(Contract, BeforeCreateOnlyTypeAndPrivilegeAnswerThenCreateGivesOneVisibleChild) {
  ULONG type = kPoison, privilege = kPoison;
  EXPECT_EQ(plugin_->GetType(&type), S_OK);
  EXPECT_EQ(type, 13049u);
  EXPECT_EQ(plugin_->GetPrivilege(&privilege), S_OK);
  EXPECT_EQ(privilege, 1u);
  EXPECT_EQ(plugin_->GetPrivilege(nullptr), S_FALSE);
  BYTE data[] = {0xA0};
  EXPECT_EQ(plugin_->Initialize(1, 2), S_FALSE);
  EXPECT_EQ(plugin_->DataIn(2, data, 1), S_FALSE);
  EXPECT_EQ(plugin_->SetPrivilege(7), S_FALSE);
  EXPECT_EQ(plugin_->ExecuteCMD(121, 1, 0, 0), S_FALSE);
  EXPECT_EQ(plugin_->Reset(), S_FALSE);
  EXPECT_EQ(plugin_->GetPrivilege(&privilege), S_OK);
  EXPECT_EQ(privilege, 1u);  // the refused SetPrivilege stored nothing
  EXPECT_EQ(plugin_->SetLang(nullptr, 0), S_OK);
  EXPECT_EQ(plugin_->PropertySetting(), S_OK);

  HWND frame = create();
  ASSERT_TRUE(IsWindow(frame));
  EXPECT_EQ(GetParent(frame), parent_);
  EXPECT_TRUE(GetWindowLongW(frame, GWL_STYLE) & WS_VISIBLE);
  HWND again = nullptr;
  EXPECT_EQ(plugin_->Create(parent_, nullptr, nullptr, 0, &again), S_FALSE);
  EXPECT_EQ(again, nullptr);
  EXPECT_TRUE(IsWindow(frame));
  EXPECT_EQ(plugin_->Initialize(1, 2), S_OK);
  EXPECT_EQ(plugin_->Reset(), S_OK);
}

// "view wnd", the board's view, fills the frame between the tool bar and the
// library tree, edge to edge; the tree shows while the installed
// configuration names no library folder, to offer choosing one. The
// privilege notice, hidden by the skin, and editing follow the host.
TEST_F(Contract, TheViewFillsTheFrameAndThePrivilegeTipAndEditingFollowTheHost) {
  MoveWindow(parent_, 0, 0, 960, 640, FALSE);  // tall enough to keep every panel inside
  HWND frame = create("C:\\Skins\\", 0);       // a conference through a server
  ASSERT_TRUE(IsWindow(frame));
  HWND view = findSkinWindow(frame, "view wnd");
  RECT frameArea, viewBox;
  GetClientRect(frame, &frameArea);
  GetWindowRect(view, &viewBox);
  EXPECT_EQ(viewBox.right - viewBox.left, frameArea.right - 68 - 180);
  EXPECT_TRUE(GetWindowLongW(findSkinWindow(frame, "vdtree"), GWL_STYLE) & WS_VISIBLE);
  EXPECT_EQ(viewBox.bottom - viewBox.top, frameArea.bottom - 36);
  EXPECT_FALSE(GetWindowLongW(view, GWL_STYLE) & WS_BORDER);
  EXPECT_EQ(GetWindow(view, GW_CHILD), nullptr);

  auto visible = [&](const char* name) {
    return (GetWindowLongW(findSkinWindow(frame, name), GWL_STYLE) & WS_VISIBLE) != 0;
  };
  EXPECT_FALSE(visible("privtip"));
  ShowWindow(parent_, SW_SHOW);
  plugin_->SetPrivilege(0);
  pump();
  EXPECT_TRUE(visible("privtip"));
  // Its caption is a language key shown as its text.
  const std::wstring tip = windowText(findSkinWindow(frame, "privtip"));
  EXPECT_EQ(tip.rfind(L"You can watch", 0), 0u) << narrow(tip);
  EXPECT_FALSE(reachable(findSkinWindow(frame, "rect")));
  // A reset gives every privilege back: drawing returns and the notice goes.
  EXPECT_EQ(plugin_->Reset(), S_OK);
  pump();
  EXPECT_FALSE(visible("privtip"));
  EXPECT_TRUE(reachable(findSkinWindow(frame, "rect")));
  plugin_->SetPrivilege(1);
  pump();
  EXPECT_FALSE(visible("privtip"));

  auto enabled = [&](const char* name) { return IsWindowEnabled(findSkinWindow(frame, name)); };
  SendMessageW(findSkinWindow(frame, "pencial"), BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(plugin_->ExecuteCMD(124, 0, 0, 0), S_OK);
  for (const char* name : {"tool panel", "add share doc", "add page", "ext panel"})
    EXPECT_FALSE(enabled(name)) << name;
  EXPECT_EQ(SendMessageW(findSkinWindow(frame, "choice"), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(findSkinWindow(frame, "pencial"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(plugin_->ExecuteCMD(124, 1, 0, 0), S_OK);
  for (const char* name : {"tool panel", "add share doc", "add page", "ext panel"})
    EXPECT_TRUE(enabled(name)) << name;

  // A privilege reads back before the frame has handled it.
  EXPECT_EQ(plugin_->SetPrivilege(0x30), S_OK);
  ULONG privilege = kPoison;
  EXPECT_EQ(plugin_->GetPrivilege(&privilege), S_OK);
  EXPECT_EQ(privilege, 0x30u);
  pump();
  EXPECT_EQ(plugin_->GetPrivilege(&privilege), S_OK);
  EXPECT_EQ(privilege, 0x30u);
}

// The frame refuses empty or overlong data (its own tests say where the limits
// lie); the contract passes the refusal on.
TEST_F(Contract, DataInPassesTheFramesRefusalOnAndExecuteCmdKnowsTwoCommands) {
  create();
  BYTE message[] = {0x18, 1, 0, 0, 0};
  EXPECT_EQ(plugin_->DataIn(2, message, sizeof message), S_OK);
  EXPECT_EQ(plugin_->DataIn(2, message, 0), S_FALSE);
  std::vector<BYTE> huge(40000);
  EXPECT_EQ(plugin_->DataIn(2, huge.data(), 40000), S_FALSE);

  // ExecuteCMD knows only mirroring and editing.
  EXPECT_EQ(plugin_->ExecuteCMD(121, 1, 0, 0), S_OK);  // sent: handled on return
  EXPECT_EQ(plugin_->ExecuteCMD(121, 0, 0, 1), S_OK);  // posted: returns at once
  EXPECT_EQ(plugin_->ExecuteCMD(124, 0, 0, 0), S_OK);
  EXPECT_EQ(plugin_->ExecuteCMD(124, 1, 0, 1), S_OK);
  for (ULONG id : {0u, 1u, 120u, 122u, 123u, 125u, 0xFFFFFFFFu})
    EXPECT_EQ(plugin_->ExecuteCMD(id, 1, 0, 0), S_FALSE) << id;
  pump();
}

TEST_F(Contract, InterfacesShareOneIdentityAndOthersAreRefused) {
  IUnknown* fromEx = nullptr;
  ASSERT_EQ(plugin_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromEx)), S_OK);
  IPlugInClient* client = nullptr;
  ASSERT_EQ(plugin_->QueryInterface(IID_IPlugInClient, reinterpret_cast<void**>(&client)), S_OK);
  IProvideClassInfo* info = nullptr;
  ASSERT_EQ(client->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&info)), S_OK);
  IUnknown* fromInfo = nullptr;
  ASSERT_EQ(info->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromInfo)), S_OK);
  EXPECT_EQ(fromEx, fromInfo);

  ITypeInfo* classInfo = nullptr;
  ASSERT_EQ(info->GetClassInfo(&classInfo), S_OK);
  BSTR doc = nullptr;
  classInfo->GetDocumentation(MEMBERID_NIL, nullptr, &doc, nullptr, nullptr);
  EXPECT_STREQ(doc, L"Scribly Class");
  SysFreeString(doc);
  classInfo->Release();

  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(plugin_->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  for (IUnknown* u :
       {static_cast<IUnknown*>(client), static_cast<IUnknown*>(info), fromEx, fromInfo})
    u->Release();
}

// The skin engine serves one thread at a time: a host's second thread gets a
// failed Create while the first thread's frame lives, and a working one after.
TEST_F(Contract, ASecondThreadIsRefusedUntilTheFirstThreadsFrameIsGone) {
  ASSERT_TRUE(IsWindow(create()));
  auto createOnAnotherThread = [this] {
    std::pair<HRESULT, HWND> result{E_FAIL, nullptr};  // Create's answer, its tool bar
    std::thread([&] {
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      HWND parent = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400,
                                    nullptr, nullptr, nullptr, nullptr);
      IPlugInClient* plugin = nullptr;
      if (factory_->CreateInstance(nullptr, IID_IPlugInClient, reinterpret_cast<void**>(&plugin)) ==
          S_OK) {
        HWND frame = nullptr;
        result.first = plugin->Create(parent, nullptr, nullptr, 1, &frame);
        result.second = frame ? findSkinWindow(frame, "tool bar") : nullptr;
        plugin->Release();
      }
      DestroyWindow(parent);
      pump();
      CoUninitialize();
    }).join();
    return result;
  };
  const auto refused = createOnAnotherThread();
  EXPECT_EQ(refused.first, S_FALSE);
  EXPECT_EQ(refused.second, nullptr);

  plugin_->Release();
  plugin_ = nullptr;
  const auto later = createOnAnotherThread();
  EXPECT_EQ(later.first, S_OK);
  EXPECT_NE(later.second, nullptr);
  // And back on this thread once that one has gone.
  ASSERT_EQ(
      factory_->CreateInstance(nullptr, IID_IPlugInClientEx, reinterpret_cast<void**>(&plugin_)),
      S_OK);
  EXPECT_NE(findSkinWindow(create(), "tool bar"), nullptr);
}

// A registration of the engine's class names whatever file its writer chose;
// the plug-in takes its engine only from the file beside it.
TEST_F(Contract, TheSkinEngineNeverComesFromARegistration) {
  wchar_t classId[40] = {};
  const std::wstring planted = tempPath(L"scribly_planted_engine.dll");
  ASSERT_TRUE(CopyFileW(besideSelf(L"uiengine.dll").c_str(), planted.c_str(), FALSE));
  StringFromGUID2(kSkinManagerClassId, classId, 40);
  const std::wstring classKey = std::wstring(L"CLSID\\") + classId;
  const std::wstring serverKey = classKey + L"\\InprocServer32";
  wchar_t registered[MAX_PATH] = {};
  LONG registeredSize = sizeof registered;
  const bool wasRegistered = RegQueryValueW(HKEY_CLASSES_ROOT, serverKey.c_str(), registered,
                                            &registeredSize) == ERROR_SUCCESS;
  auto setServer = [&](const std::wstring& file) {
    RegistryKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, serverKey.c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                   static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
    RegSetValueExW(key.get(), L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Both"),
                   sizeof L"Both");
  };
  setServer(planted);

  HWND frame = create();
  const bool plantedLoaded = GetModuleHandleW(planted.c_str()) != nullptr;
  if (wasRegistered)
    setServer(registered);
  else if (RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey.c_str()) == ERROR_SUCCESS)
    RegDeleteKeyW(HKEY_CLASSES_ROOT, classKey.c_str());
  DeleteFileW(planted.c_str());
  EXPECT_NE(findSkinWindow(frame, "tool bar"), nullptr);
  EXPECT_FALSE(plantedLoaded);
}

TEST_F(Contract, FactoryRefusesAggregationAndModuleUnloadsOnlyWhenIdle) {
  IUnknown* outer = plugin_;
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory_->CreateInstance(outer, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  void* bogus = nullptr;
  EXPECT_EQ(getClassObject_(IID_IDispatch, IID_IClassFactory, &bogus), CLASS_E_CLASSNOTAVAILABLE);

  const auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
  ASSERT_NE(canUnload, nullptr);
  factory_->Release();
  factory_ = nullptr;
  EXPECT_EQ(canUnload(), S_FALSE);  // one instance alive
  HWND frame = create();
  plugin_->Release();
  plugin_ = nullptr;
  EXPECT_FALSE(IsWindow(frame));  // the last release destroys the frame window
  EXPECT_EQ(canUnload(), S_OK);
}

}  // namespace
}  // namespace scribly::test
