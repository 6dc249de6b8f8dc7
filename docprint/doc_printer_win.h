#pragma once
// The virtual printer that turns a document into page pictures: docprint.dll,
// loaded by full path from the plug-in's folder. CreateDocPrint returns an
// object whose six operations sit in this slot order (no virtual destructor,
// so release stays slot 0). Everything is called on the contents panel's
// thread; the printer works on its own thread and reports the end of a job by
// posting the message given to setNotifyWindow with the job's number
// (jobNumber) in wParam, and lParam 1 on success and 0 on failure.
//
// On success the output folder holds one picture per page: the document's
// name up to its last "." and the extension for page 1, and that base, "(",
// the page number, ")" and the extension for page n >= 2 ("report.jpg",
// "report(2).jpg", ...).
#include <windows.h>

#include <cstdint>

#include "win/messages.h"

namespace scribly {

class DocPrinter {
 public:
  virtual void __stdcall release() = 0;
  // 8-bit, system code page, ending in "\".
  virtual void __stdcall setOutputFolder(const char* folder) = 0;
  // 2 = picture quality, 3 = text quality (a higher resolution).
  virtual void __stdcall setQuality(int32_t quality) = 0;
  // Nonzero when the job started; 0 when it could not start (another job
  // running, no output folder, no such file).
  virtual int32_t __stdcall printDocument(const char* path) = 0;
  // Abandons the job in progress: the worker and any converter it started
  // end promptly, and a report of failure follows.
  virtual void __stdcall stop() = 0;
  virtual void __stdcall setNotifyWindow(HWND window, UINT message) = 0;
  // Beyond the six: the number of the job printDocument started last, drawn
  // at random and never 0, which its report carries so that the receiver
  // tells it from a report anybody could post. 0 before the first job.
  virtual WPARAM __stdcall jobNumber() = 0;

 protected:
  ~DocPrinter() = default;
};

using CreateDocPrintFunction = DocPrinter*(__stdcall*)();
inline constexpr char kCreateDocPrintName[] = "CreateDocPrint";
inline constexpr wchar_t kDocPrintModule[] = L"docprint.dll";
// The report a finished job sends until setNotifyWindow names another.
inline constexpr UINT kPrintFinishedMessage = WM_PLUGIN_PRINT_FINISHED;
inline constexpr LPARAM kPrintSucceeded = 1;

}  // namespace scribly
