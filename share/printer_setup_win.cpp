#include "share/printer_setup_win.h"

#include <string>
#include <vector>

#include "docprint/print_job.h"
#include "win/handles.h"

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
  HANDLE opened = nullptr;
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  std::wstring name = kSharePrinterName;
  if (!spooler.open(name.data(), &opened, &defaults) || !opened) return false;
  const OpenedPrinter printer(spooler.close, opened);
  std::vector<BYTE> settings = readSettings(spooler, printer.get());
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
    written = spooler.set(printer.get(), 2, settings.data(), 0) != FALSE;
  }
  return written;
}

}  // namespace scribly
