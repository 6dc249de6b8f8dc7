#pragma once
// Linux programs for the Windows tests, run through scribly-convert beside
// the test program: real office documents for the printer's tests and
// benchmark, made by LibreOffice from text and flat XML the caller writes,
// and links planted as another program would.
#include <windows.h>

#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/file_bytes.h"
#include "docprint/print_job.h"
#include "win/folders.h"
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

// Runs a Linux program through scribly-convert beside the test program,
// with `folder` for the runner's status file; true when it exited with 0
// within `seconds`.
inline bool runLinuxProgram(const std::vector<std::string>& arguments, const std::string& folder,
                            int seconds) {
  const std::string status = folder + "\\linux-status";
  DeleteFileA(status.c_str());
  const std::string unixFolder = linuxPathOf(folder);
  std::vector<std::string> line = {
      fromWide(toWide(moduleFolder(), kCodePageSystem)) + "\\scribly-convert",
      unixFolder + "/linux-status", unixFolder + "/linux-stop", std::to_string(seconds)};
  line.insert(line.end(), arguments.begin(), arguments.end());
  std::wstring command = toWide(windowsCommandLine(line));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (unixFolder.empty() ||
      !CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process)) {
    return false;
  }
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds + 20);
  while (GetFileAttributesA(status.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const FileReadResult result = readFileBytes(status, 16);
  return std::string(result.bytes.begin(), result.bytes.end()) == "0\n";
}

// Converts `source` into `folder` as `format` ("docx", "pptx", "pdf"); the
// result is named after the source. False when LibreOffice did not finish.
inline bool convertWithOffice(const std::string& source, const std::string& folder,
                              const std::string& format) {
  const std::string unixFolder = linuxPathOf(folder);
  return runLinuxProgram(
      {"soffice", "-env:UserInstallation=" + fileUrl(unixFolder + "/office-profile"), "--headless",
       "--convert-to", format, "--outdir", unixFolder, linuxPathOf(source)},
      folder, 180);
}

// Makes `link` a directory link to `target` as another program could: under
// Wine a Unix symbolic link, which Windows programs see as a reparse point.
// One an earlier run left is replaced: Wine cannot remove a link alone.
inline bool plantDirectoryLink(const std::string& link, const std::string& target) {
  const size_t slash = link.find_last_of('\\');
  return slash != std::string::npos &&
         runLinuxProgram({"ln", "-sfn", linuxPathOf(target), linuxPathOf(link)},
                         link.substr(0, slash), 20);
}

inline bool writeText(const std::string& path, std::string_view text) {
  return writeFileBytes(path,
                        std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// The benchmarks' text: 20 full pages, each ended by a form feed.
inline std::string benchNotes() {
  std::string text;
  for (int page = 1; page <= 20; ++page) {
    text += "Page " + std::to_string(page) + "\n";
    for (int line = 1; line < 45; ++line)
      text += "\tLine " + std::to_string(line) + ": the quick brown fox jumps over the lazy dog.\n";
    text += "\f";
  }
  return text;
}

// A PDF of `pages` empty letter-sized pages.
inline std::string blankPdf(int pages) {
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>"};
  std::string kids;
  for (int i = 0; i < pages; ++i) kids += std::to_string(3 + i) + " 0 R ";
  objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
  for (int i = 0; i < pages; ++i)
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t table = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t offset : offsets) {
    const std::string digits = std::to_string(offset);
    pdf += std::string(10 - digits.size(), '0') + digits + " 00000 n \n";
  }
  return pdf + "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(table) + "\n%%EOF\n";
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
