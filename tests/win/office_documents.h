#pragma once
// Real office documents for the printer's tests and benchmark, made by
// LibreOffice from text and flat XML the caller writes. Under Wine the Linux
// program runs through scribly-convert beside the test program.
#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include <chrono>
#include <string>
#include <thread>

#include "base/file_bytes.h"
#include "docprint/print_job.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {

inline std::string linuxPathOf(const std::string& path) {
  using Convert = char*(CDECL*)(LPCWSTR);
  const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unix = convert ? convert(toWide(path, kCodePageSystem).c_str()) : nullptr;
  if (!unix) return {};
  std::string result = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

// Converts `source` into `folder` as `format` ("docx", "pptx", "pdf"); the
// result is named after the source. False when LibreOffice did not finish.
inline bool convertWithOffice(const std::string& source, const std::string& folder,
                              const std::string& format) {
  const std::string status = folder + "\\office-status";
  DeleteFileA(status.c_str());
  const std::string unixFolder = linuxPathOf(folder);
  std::wstring line = toWide(windowsCommandLine(
      {fromWide(toWide(moduleFolder(), kCodePageSystem)) + "\\scribly-convert",
       unixFolder + "/office-status", unixFolder + "/office-stop", "180", "soffice",
       "-env:UserInstallation=" + fileUrl(unixFolder + "/office-profile"), "--headless",
       "--convert-to", format, "--outdir", unixFolder, linuxPathOf(source)}));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (unixFolder.empty() ||
      !CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process)) {
    return false;
  }
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(200);
  while (GetFileAttributesA(status.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const FileReadResult result = readFileBytes(status, 16);
  return std::string(result.bytes.begin(), result.bytes.end()) == "0\n";
}

// Removes a folder with everything in it.
inline void deleteFolderTree(const std::string& folder) {
  const std::wstring from = toWide(folder, kCodePageSystem) + L'\0';
  SHFILEOPSTRUCTW remove{};
  remove.wFunc = FO_DELETE;
  remove.pFrom = from.c_str();
  remove.fFlags = FOF_NO_UI;
  SHFileOperationW(&remove);
}

// A flat XML presentation of `slides` slides, each with a title and a box.
inline std::string flatPresentation(int slides) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
      "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
      "office:version=\"1.2\" "
      "office:mimetype=\"application/vnd.oasis.opendocument.presentation\">"
      "<office:body><office:presentation>";
  for (int i = 1; i <= slides; ++i) {
    xml += "<draw:page draw:name=\"s" + std::to_string(i) +
           "\"><draw:frame svg:x=\"2cm\" svg:y=\"2cm\" svg:width=\"20cm\" svg:height=\"4cm\">"
           "<draw:text-box><text:p>Slide " +
           std::to_string(i) +
           "</text:p></draw:text-box></draw:frame>"
           "<draw:rect svg:x=\"2cm\" svg:y=\"8cm\" svg:width=\"15cm\" svg:height=\"6cm\"/>"
           "</draw:page>";
  }
  return xml + "</office:presentation></office:body></office:document>";
}

}  // namespace scribly
