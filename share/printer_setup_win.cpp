#include "share/printer_setup_win.h"

#include <string>
#include <vector>

#include "docprint/print_job.h"

namespace scribly {
namespace {

// The pages the import expects: the printer's page size as custom paper, at
// half scale.
constexpr short kPaperCustom = 0;
constexpr short kScalePercent = 50;
constexpr short kPrintQuality = 100;

// The printer's information at level 2 (its settings, device mode
// included); empty when it cannot be read.
std::vector<BYTE> readSettings(const SpoolerCalls& spooler, HANDLE printer) {
  DWORD needed = 0;
  BYTE probe[4];
  spooler.get(printer, 2, probe, sizeof probe, &needed);
  if (needed < sizeof(PRINTER_INFO_2W)) return {};
  std::vector<BYTE> buffer(needed);
  if (!spooler.get(printer, 2, buffer.data(), needed, &needed)) return {};
  return buffer;
}

}  // namespace

bool setUpSharePrinter(const SpoolerCalls& spooler) {
  HANDLE printer = nullptr;
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  std::wstring name = kSharePrinterName;
  if (!spooler.open(name.data(), &printer, &defaults) || !printer) return false;
  std::vector<BYTE> settings = readSettings(spooler, printer);
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(settings.data());
  bool written = false;
  if (!settings.empty() && info->pDevMode) {
    DEVMODEW& mode = *info->pDevMode;
    mode.dmFields |= DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_SCALE | DM_PRINTQUALITY;
    mode.dmPaperSize = kPaperCustom;
    mode.dmPaperLength = kPageHeightTenthsMm;
    mode.dmPaperWidth = kPageWidthTenthsMm;
    mode.dmScale = kScalePercent;
    mode.dmPrintQuality = kPrintQuality;
    // Command 0: with a level the information given is what is written; the
    // other commands (pause, resume, purge, set status) belong to level 0.
    written = spooler.set(printer, 2, settings.data(), 0) != FALSE;
  }
  spooler.close(printer);
  return written;
}

}  // namespace scribly
