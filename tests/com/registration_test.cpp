// Registration as regsvr32 does it, checked through the registry, a separate
// process and the type library API.
#include <windows.h>
// After windows.h, which they need.
#include <gtest/gtest.h>
#include <oleauto.h>
#include <scribly.h>

#include "host_session.h"

namespace scribly::test {
namespace {

constexpr char kAppId[] = "{67C24BA3-03F5-4F09-90AF-63A6BCD6E907}";

std::string guid(REFGUID g) {
  wchar_t w[40] = {};
  StringFromGUID2(g, w, 40);
  return narrow(w);
}

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

  EXPECT_EQ(value("Scribly.Scribly.1"), "CScribly Object");
  EXPECT_EQ(value("Scribly.Scribly.1\\CLSID"), clsid);
  EXPECT_EQ(value("Scribly.Scribly"), "CScribly Object");
  EXPECT_EQ(value("Scribly.Scribly\\CLSID"), clsid);
  EXPECT_EQ(value("Scribly.Scribly\\CurVer"), "Scribly.Scribly.1");
  EXPECT_EQ(value(cls), "CScribly Object");
  EXPECT_EQ(value(cls, "AppID"), kAppId);
  EXPECT_EQ(value(cls + "\\ProgID"), "Scribly.Scribly.1");
  EXPECT_EQ(value(cls + "\\VersionIndependentProgID"), "Scribly.Scribly");
  EXPECT_TRUE(keyExists(cls + "\\Programmable"));
  EXPECT_EQ(_stricmp(value(cls + "\\InprocServer32").c_str(), narrow(dllPath()).c_str()), 0)
      << value(cls + "\\InprocServer32");
  EXPECT_EQ(value(cls + "\\InprocServer32", "ThreadingModel"), "both");
  EXPECT_EQ(value(cls + "\\TypeLib"), guid(LIBID_Scribly));
  EXPECT_EQ(value(std::string("AppID\\") + kAppId), "Scribly");
  EXPECT_EQ(value("AppID\\Scribly.DLL", "AppID"), kAppId);

  // A host in another process finds the class by either name.
  EXPECT_EQ(runProcess(thisProgram(L"--probe-create Scribly.Scribly")), 0u);
  EXPECT_EQ(runProcess(thisProgram(L"--probe-create Scribly.Scribly.1")), 0u);
  EXPECT_NE(runProcess(thisProgram(L"--probe-create Scribly.Nothing")), 0u);

  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadRegTypeLib(LIBID_Scribly, 1, 0, 0x0409, &library), S_OK);
  BSTR name = nullptr, help = nullptr;
  library->GetDocumentation(-1, &name, &help, nullptr, nullptr);
  EXPECT_STREQ(name, L"Scribly");
  EXPECT_STREQ(help, L"Scribly 1.0");
  SysFreeString(name);
  SysFreeString(help);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->lcid, 0x0409u);
  library->ReleaseTLibAttr(attr);

  // Member ids hosts compiled against the library rely on.
  ITypeInfo* client = nullptr;
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IPlugInClient, &client), S_OK);
  for (UINT i = 0; i < 9; ++i) {
    FUNCDESC* f = nullptr;
    ASSERT_EQ(client->GetFuncDesc(i, &f), S_OK);
    EXPECT_EQ(static_cast<ULONG>(f->memid), 0x60010000u + i);
    client->ReleaseFuncDesc(f);
  }
  client->Release();
  ITypeInfo* ex = nullptr;
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IPlugInClientEx, &ex), S_OK);
  FUNCDESC* f = nullptr;
  ASSERT_EQ(ex->GetFuncDesc(0, &f), S_OK);
  EXPECT_EQ(static_cast<ULONG>(f->memid), 0x60020000u);
  ex->ReleaseFuncDesc(f);
  ex->Release();
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

}  // namespace
}  // namespace scribly::test
