#pragma once
// The virtual printer that a share prints through, made by docprint.dll
// (docprint/doc_printer_win.h), and the library it came from.
#include <windows.h>

#include <string>
#include <utility>

#include "docprint/doc_printer_win.h"
#include "win/handles.h"

namespace scribly {

// The printer is released before the library goes.
class PrinterHandle {
 public:
  PrinterHandle() = default;
  // `library` may be null (a printer that lives in this module).
  PrinterHandle(HMODULE library, DocPrinter* printer) : library_(library), printer_(printer) {}
  // docprint.dll by its full path in `folder`; empty when it cannot be
  // loaded or made.
  static PrinterHandle load(const std::string& folder);
  ~PrinterHandle() { reset(); }
  PrinterHandle(PrinterHandle&& other) noexcept { *this = std::move(other); }
  PrinterHandle& operator=(PrinterHandle&& other) noexcept;
  PrinterHandle(const PrinterHandle&) = delete;
  PrinterHandle& operator=(const PrinterHandle&) = delete;

  DocPrinter* get() const { return printer_; }

 private:
  void reset();
  ModuleHandle library_;
  DocPrinter* printer_ = nullptr;
};

}  // namespace scribly
