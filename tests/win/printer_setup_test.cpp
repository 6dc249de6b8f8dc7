// The share printer's set-up over a spooler that records what it is given:
// the paper goes into the printer's own settings, written as settings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "share/printer_setup_win.h"

namespace scribly {
namespace {

// What the recording spooler was asked.
struct Recorded {
  std::wstring opened;
  DWORD access = 0;
  DEVMODEW mode{};
  DWORD level = 0xdeadbeef;
  DWORD command = 0xdeadbeef;
  bool closed = false;
};
Recorded recorded;
HANDLE const kPrinter = reinterpret_cast<HANDLE>(0x5150);

SpoolerCalls recordingSpooler() {
  SpoolerCalls calls;
  calls.open = [](LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults) -> BOOL {
    recorded.opened = name;
    recorded.access = defaults ? defaults->DesiredAccess : 0;
    *printer = kPrinter;
    return TRUE;
  };
  // Level 2 with a device mode of A4 paper right behind it.
  calls.get = [](HANDLE, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed) -> BOOL {
    *needed = sizeof(PRINTER_INFO_2W) + sizeof(DEVMODEW);
    if (level != 2 || size < *needed) return FALSE;
    std::memset(buffer, 0, size);
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer);
    info->pDevMode = reinterpret_cast<DEVMODEW*>(buffer + sizeof(PRINTER_INFO_2W));
    info->pDevMode->dmSize = sizeof(DEVMODEW);
    info->pDevMode->dmFields = DM_ORIENTATION;
    info->pDevMode->dmPaperSize = DMPAPER_A4;
    return TRUE;
  };
  calls.set = [](HANDLE printer, DWORD level, LPBYTE data, DWORD command) -> BOOL {
    if (printer != kPrinter) return FALSE;
    recorded.level = level;
    recorded.command = command;
    recorded.mode = *reinterpret_cast<PRINTER_INFO_2W*>(data)->pDevMode;
    return TRUE;
  };
  calls.close = [](HANDLE printer) -> BOOL { return recorded.closed = printer == kPrinter; };
  return calls;
}

// With a level the command must be 0: the others (pause, resume, purge,
// set status) belong to level 0, not to writing the printer's settings.
TEST(SharePrinter, SetUpWritesTheSharesPaperAsThePrintersSettings) {
  recorded = {};
  ASSERT_TRUE(setUpSharePrinter(recordingSpooler()));
  EXPECT_EQ(recorded.opened, L"VardenPrinter");
  EXPECT_EQ(recorded.access, static_cast<DWORD>(PRINTER_ALL_ACCESS));
  EXPECT_EQ(recorded.level, 2u);
  EXPECT_EQ(recorded.command, 0u);
  const DEVMODEW& mode = recorded.mode;
  EXPECT_EQ(mode.dmFields, static_cast<DWORD>(DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH |
                                              DM_PAPERWIDTH | DM_SCALE | DM_PRINTQUALITY));
  EXPECT_EQ(mode.dmPaperSize, 0);
  EXPECT_EQ(mode.dmPaperLength, 2448);
  EXPECT_EQ(mode.dmPaperWidth, 1855);
  EXPECT_EQ(mode.dmScale, 50);
  EXPECT_EQ(mode.dmPrintQuality, 100);
  EXPECT_TRUE(recorded.closed);
}

}  // namespace
}  // namespace scribly
