// The plug-in as a host built from the IDL sees it: registered by regsvr32,
// loaded from scribly.dll, created through its class factory, driven through
// its interfaces only.
#include <gtest/gtest.h>
#include <ocidl.h>
#include <oleauto.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <scribly.h>

#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "host_session.h"
#include "skin/ui_engine_win.h"
#include "tests/win/process_counts.h"

namespace scribly::test {
namespace {

constexpr ULONG kPoison = 0xDEADBEEF;

std::string guid(REFGUID g) {
  wchar_t w[40] = {};
  StringFromGUID2(g, w, 40);
  return narrow(w);
}

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

TEST_F(Contract, BeforeCreateOnlyTypeAndPrivilegeAnswerThenOneVisibleChildTakesDataAndTwoCommands) {
  ULONG type = kPoison, privilege = kPoison;
  EXPECT_EQ(plugin_->GetType(&type), S_OK);
  EXPECT_EQ(type, 13049u);
  EXPECT_EQ(plugin_->GetPrivilege(&privilege), S_OK);
  EXPECT_EQ(privilege, 1u);
  EXPECT_EQ(plugin_->GetPrivilege(nullptr), S_FALSE);
  BYTE data[] = {0xA0};
  for (HRESULT refused :
       {plugin_->Initialize(1, 2), plugin_->DataIn(2, data, 1), plugin_->SetPrivilege(7),
        plugin_->ExecuteCMD(121, 1, 0, 0), plugin_->Reset()})
    EXPECT_EQ(refused, S_FALSE);
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

  // The frame refuses empty or overlong data (its own tests say where the
  // limits lie); the contract passes the refusal on.
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

  // Editing off takes the tools away and the choice tool in hand; on gives
  // them back.
  SendMessageW(findSkinWindow(frame, "pencial"), BM_SETCHECK, BST_CHECKED, 0);
  for (int editing : {0, 1}) {
    EXPECT_EQ(plugin_->ExecuteCMD(124, editing, 0, 0), S_OK);
    for (const char* name : {"tool panel", "add share doc", "add page", "ext panel"})
      EXPECT_EQ(IsWindowEnabled(findSkinWindow(frame, name)) != FALSE, editing == 1) << name;
  }
  EXPECT_EQ(SendMessageW(findSkinWindow(frame, "choice"), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(findSkinWindow(frame, "pencial"), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  // A privilege reads back before the frame has handled it.
  EXPECT_EQ(plugin_->SetPrivilege(0x30), S_OK);
  ULONG privilege = kPoison;
  EXPECT_EQ(plugin_->GetPrivilege(&privilege), S_OK);
  EXPECT_EQ(privilege, 0x30u);
}

TEST_F(Contract, InterfacesShareOneIdentityTheFactoryRefusesAggregationAndTheModuleUnloadsIdle) {
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
  BSTR doc = nullptr;  // the class's own, not an interface's
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

  // The factory refuses aggregation, and the module unloads only when idle.
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

// A registration of the engine's class names whatever file its writer chose;
// the plug-in takes its engine only from the file beside it.
TEST_F(Contract, TheSkinEngineComesOnlyFromBesideThePlugInAndServesOneThreadAtATime) {
  const std::wstring planted = tempPath(L"scribly_planted_engine.dll");
  ASSERT_TRUE(CopyFileW(besideSelf(L"uiengine.dll").c_str(), planted.c_str(), FALSE));
  const std::wstring classKey = L"CLSID\\" + toWide(guid(kSkinManagerClassId));
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
  ASSERT_NE(findSkinWindow(frame, "tool bar"), nullptr);
  EXPECT_FALSE(plantedLoaded);

  // The engine serves one thread at a time: a host's second thread gets a
  // failed Create while the first thread's frame lives, and a working one after.
  auto createOnAnotherThread = [this] {
    std::pair<HRESULT, HWND> result{E_FAIL, nullptr};  // Create's answer, its tool bar
    std::thread([&] {
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      {
        const HostWindow parent(500, 400, WS_OVERLAPPEDWINDOW);
        IPlugInClient* plugin = nullptr;
        if (factory_->CreateInstance(nullptr, IID_IPlugInClient,
                                     reinterpret_cast<void**>(&plugin)) == S_OK) {
          HWND frame = nullptr;
          result.first = plugin->Create(parent, nullptr, nullptr, 1, &frame);
          result.second = frame ? findSkinWindow(frame, "tool bar") : nullptr;
          plugin->Release();
        }
      }
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

// Registration as regsvr32 does it, checked through the registry, a separate
// process and the type library API.
constexpr char kAppId[] = "{67C24BA3-03F5-4F09-90AF-63A6BCD6E907}";

bool keyExists(const std::string& path) {
  RegistryKey key;
  return RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// The value, or "<missing>".
std::string value(const std::string& path, const char* name = nullptr) {
  char buf[1024] = {};
  DWORD size = sizeof buf - 1, type = 0;
  RegistryKey key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS ||
      RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return "<missing>";
  return buf;
}

DWORD regsvr32(bool unregister) {
  return runProcess(std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" +
                    dllPath() + L"\"");
}

TEST(Registration, WritesTheClassNamesAndTypeLibraryAndRemovesThemAgain) {
  const std::string clsid = guid(CLSID_CScribly), cls = "CLSID\\" + clsid;
  ASSERT_EQ(regsvr32(false), 0u);

  EXPECT_EQ(value("Scribly.Scribly\\CurVer"), "Scribly.Scribly.1");
  EXPECT_EQ(value(cls, "AppID"), kAppId);
  EXPECT_EQ(value(cls + "\\ProgID"), "Scribly.Scribly.1");
  EXPECT_EQ(value(cls + "\\VersionIndependentProgID"), "Scribly.Scribly");
  EXPECT_TRUE(keyExists(cls + "\\Programmable"));
  EXPECT_EQ(value(cls + "\\InprocServer32", "ThreadingModel"), "both");
  EXPECT_EQ(value(cls + "\\TypeLib"), guid(LIBID_Scribly));
  EXPECT_EQ(value("AppID\\Scribly.DLL", "AppID"), kAppId);

  // A host in another process finds the class by either name: the names lead
  // to the class, and the class to this file. (The names shown for the keys,
  // and the library's name, version and locale, which the IDL and the
  // registration script state, are not checked again.)
  EXPECT_EQ(runProcess(thisProgram(L"--probe-create Scribly.Scribly")), 0u);
  EXPECT_EQ(runProcess(thisProgram(L"--probe-create Scribly.Scribly.1")), 0u);
  EXPECT_NE(runProcess(thisProgram(L"--probe-create Scribly.Nothing")), 0u);

  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadRegTypeLib(LIBID_Scribly, 1, 0, 0x0409, &library), S_OK);

  // Member ids hosts compiled against the library rely on.
  const struct {
    IID iid;
    UINT count;
    ULONG first;
  } kMembers[] = {{IID_IPlugInClient, 9, 0x60010000}, {IID_IPlugInClientEx, 1, 0x60020000}};
  for (const auto& members : kMembers) {
    ITypeInfo* info = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(members.iid, &info), S_OK);
    for (UINT i = 0; i < members.count; ++i) {
      FUNCDESC* f = nullptr;
      ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
      EXPECT_EQ(static_cast<ULONG>(f->memid), members.first + i);
      info->ReleaseFuncDesc(f);
    }
    info->Release();
  }
  library->Release();

  ASSERT_EQ(regsvr32(true), 0u);
  for (const std::string& gone :
       {std::string("Scribly.Scribly.1"), std::string("Scribly.Scribly"), cls,
        std::string("AppID\\") + kAppId, std::string("AppID\\Scribly.DLL")})
    EXPECT_FALSE(keyExists(gone)) << gone;
  EXPECT_TRUE(keyExists("AppID"));
  library = nullptr;
  EXPECT_NE(LoadRegTypeLib(LIBID_Scribly, 1, 0, 0x0409, &library), S_OK);
  if (library) library->Release();
}

// What a host does with a plug-in beyond the contract's calls: scripted
// sessions from the host itself (and from nobody else), the replay of a
// recorded mirror stream through DataIn, and one plug-in per conference, many
// over days in one process, each lifetime giving back what it took.
TEST_F(HostSession, ScriptsRunOnlyWhenTheCreatingThreadCallsAndTheMirrorStreamReplays) {
  Participant& p = join(1, 2);
  const Messages before = report(p);

  // Another process hands the frame a script the way a window message can.
  EXPECT_EQ(runProcess(thisProgram(L"--copy-script " +
                                   std::to_wstring(reinterpret_cast<uintptr_t>(p.frame)))),
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

  // Its mirror stream with big pictures, replayed through DataIn, rebuilds
  // the board.
  p.sink.mirrored.clear();
  p.plugin->ExecuteCMD(121, 1, 0, 0);
  ASSERT_EQ(runScript(p, "picture 0 0 1024 1024\naddpage Two\npicture 20 20 900 700\n"), S_OK);
  const Messages stream = p.sink.mirrored;
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
  EXPECT_EQ(report(replayed), report(p));
}

// What 40 lifetimes that leave nothing may still show: heap block headers
// as free blocks split and join, the system's own threads. A leak of a few
// KiB per lifetime is several times more.
constexpr size_t kNoise = 16 * 1024;

TEST_F(HostSession, ConferencesOneAfterAnotherLeaveNothingBehind) {
  // What a peer sends for 300 objects: a participant's drawing as it mirrors it.
  Participant& source = join(1, 2);
  source.plugin->ExecuteCMD(121, 1, 0, 0);
  static const char* const kKinds[] = {"rect", "ellipse", "line", "arrow", "triangle", "half1"};
  std::string drawing;
  for (int i = 0; i < 300; ++i) {
    const int x = i % 20 * 30, y = i / 20 * 25;
    drawing += std::string(kKinds[i % 6]) + " " + std::to_string(x) + " " + std::to_string(y) +
               " " + std::to_string(x + 25) + " " + std::to_string(y + 20) + "\n";
  }
  ASSERT_EQ(runScript(source, drawing), S_OK);
  const Messages objects = source.sink.mirrored;
  const Messages drawn = report(source);
  source.plugin->Release();
  source.plugin = nullptr;
  pump();

  // A whole conference, alone in the process; true when the plug-in ended
  // up with the peer's drawing.
  auto conference = [&] {
    Participant p;
    if (factory_->CreateInstance(nullptr, IID_IPlugInClientEx,
                                 reinterpret_cast<void**>(&p.plugin)) != S_OK)
      return false;
    p.plugin->Create(parent_, &p.sink, nullptr, 1, &p.frame);
    p.plugin->Initialize(2, 1);
    for (const auto& m : objects)
      p.plugin->DataIn(1, const_cast<BYTE*>(m.data()), static_cast<ULONG>(m.size()));
    pump();
    const bool received = report(p) == drawn;
    p.plugin->Release();
    pump();
    return received;
  };
  // What the system and the runtimes set up on first use is no leak.
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(conference());
  const long gdi = liveGdiObjects(), user = liveUserObjects();
  const size_t memory = heldPrivateBytes();
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(conference());
  // Memory first: a failed expectation takes some of its own.
  EXPECT_LE(heldPrivateBytes(), memory + kNoise);
  EXPECT_EQ(liveGdiObjects(), gdi);
  EXPECT_EQ(liveUserObjects(), user);
}

}  // namespace
}  // namespace scribly::test
