#include "share/printer_library_win.h"

#include <mutex>
#include <utility>

#include "win/text.h"

namespace scribly {

PrinterHandle PrinterHandle::load(const std::string& folder) {
  // Loaded once and kept for the process, as the skin engine is: every load
  // starts the library's own C++ runtime, whose start-up memory unloading
  // never gives back, so a library loaded per conference grows the host.
  static std::mutex lock;
  static HMODULE library = nullptr;
  {
    std::lock_guard guard(lock);
    if (!library)
      library = LoadLibraryW((toWide(folder, kCodePageSystem) + L"\\" + kDocPrintModule).c_str());
  }
  if (!library) return {};
  auto create = reinterpret_cast<CreateDocPrintFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, kCreateDocPrintName)));
  DocPrinter* printer = create ? create() : nullptr;
  return printer ? PrinterHandle(nullptr, printer) : PrinterHandle();
}

PrinterHandle& PrinterHandle::operator=(PrinterHandle&& other) noexcept {
  if (this != &other) {
    reset();
    library_ = std::move(other.library_);
    printer_ = std::exchange(other.printer_, nullptr);
  }
  return *this;
}

void PrinterHandle::reset() {
  if (printer_) std::exchange(printer_, nullptr)->release();
  library_.reset();
}

}  // namespace scribly
