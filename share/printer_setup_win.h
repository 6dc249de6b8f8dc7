#pragma once
// The printer "VardenPrinter" set up for the pages a share imports: custom
// paper of 185.5 mm x 244.8 mm at half scale, quality 100.
// clang-format off
#include <windows.h>
#include <winspool.h>
// clang-format on

namespace scribly {

inline constexpr wchar_t kSharePrinterName[] = L"VardenPrinter";

// The spooler's calls the set-up makes; a test hands in its own.
struct SpoolerCalls {
  decltype(&OpenPrinterW) open = OpenPrinterW;
  decltype(&GetPrinterW) get = GetPrinterW;
  decltype(&SetPrinterW) set = SetPrinterW;
  decltype(&ClosePrinter) close = ClosePrinter;
};

// Writes the paper into the printer's own settings; false when the printer
// cannot be opened, read or written.
bool setUpSharePrinter(const SpoolerCalls& spooler = {});

}  // namespace scribly
