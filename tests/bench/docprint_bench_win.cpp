// Seconds per page through docprint.dll: a text document, and a PDF, a .docx
// and a .pptx that LibreOffice makes first (not timed). With --keep the page
// pictures stay in the temporary folder it prints.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "docprint/doc_printer_win.h"
#include "tests/bench/bench_figure.h"
#include "tests/win/office_documents.h"

using namespace scribly;

namespace {

bool finished = false;
LPARAM result = 0;

LRESULT CALLBACK reportProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kPrintFinishedMessage) finished = true, result = lParam;
  return DefWindowProcW(window, msg, wParam, lParam);
}

size_t countPages(const std::string& folder, const std::string& base, uint64_t& bytes) {
  size_t n = 0;
  bytes = 0;
  for (;; ++n) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const std::string path = folder + pageFileName(base, static_cast<uint32_t>(n + 1), ".jpg");
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return n;
    bytes += data.nFileSizeLow;
  }
}

void write(const std::string& path, const std::string& text) {
  writeFileBytes(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace

int main(int argc, char** argv) {
  const bool keep = argc > 1 && std::strcmp(argv[1], "--keep") == 0;
  HMODULE module = LoadLibraryA((moduleFolder() + "\\docprint.dll").c_str());
  auto create = module ? reinterpret_cast<CreateDocPrintFunction>(
                             reinterpret_cast<void*>(GetProcAddress(module, kCreateDocPrintName)))
                       : nullptr;
  if (!create) {
    std::printf("docprint.dll not found beside the benchmark\n");
    return 1;
  }
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = reportProc;
  windowClass.lpszClassName = L"ScriblyPrintBench";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, nullptr, nullptr);
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string root =
      std::string(temp) + "scribly-print-bench-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(root.c_str(), nullptr);

  std::string text;
  for (int page = 1; page <= 20; ++page) {
    text += "Page " + std::to_string(page) + "\n";
    for (int line = 1; line < 45; ++line) {
      text += "\tLine " + std::to_string(line) + ": the quick brown fox jumps over the lazy dog.\n";
    }
    text += "\f";
  }
  write(root + "\\notes.txt", text);
  write(root + "\\deck.fodp", flatPresentation(20));
  if (!convertWithOffice(root + "\\notes.txt", root, "docx") ||
      !convertWithOffice(root + "\\notes.txt", root, "pdf") ||
      !convertWithOffice(root + "\\deck.fodp", root, "pptx")) {
    std::printf("LibreOffice could not make the documents\n");
    return 1;
  }
  MoveFileA((root + "\\notes.docx").c_str(), (root + "\\memo.docx").c_str());
  MoveFileA((root + "\\notes.pdf").c_str(), (root + "\\paper.pdf").c_str());

  DocPrinter* printer = create();
  printer->setNotifyWindow(window, kPrintFinishedMessage);
  struct Case {
    const char* file;
    const char* base;
    int quality;
  };
  int failures = 0;
  for (const Case& c : {Case{"notes.txt", "notes", 3}, Case{"notes.txt", "notes", 2},
                        Case{"paper.pdf", "paper", 2}, Case{"paper.pdf", "paper", 3},
                        Case{"memo.docx", "memo", 2}, Case{"deck.pptx", "deck", 2}}) {
    const std::string folder = root + "\\out-" + c.base + "-" + std::to_string(c.quality) + "\\";
    printer->setOutputFolder(folder.c_str());
    printer->setQuality(c.quality);
    finished = false;
    const auto t0 = std::chrono::steady_clock::now();
    if (!printer->printDocument((root + "\\" + c.file).c_str())) {
      std::printf("%s: not started\n", c.file);
      ++failures;
      continue;
    }
    while (!finished) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(5);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    uint64_t bytes = 0;
    const size_t pages = countPages(folder, c.base, bytes);
    if (result != kPrintSucceeded || pages == 0) {
      std::printf("%s: failed\n", c.file);
      ++failures;
      continue;
    }
    std::printf("%-10s quality %d: %zu pages in %.2f s, %.3f s per page, %.0f KiB per page\n",
                c.file, c.quality, pages, seconds, seconds / pages,
                bytes / 1024.0 / static_cast<double>(pages));
    const std::string what = std::string(c.file) + " at quality " + std::to_string(c.quality);
    printFigure(what.c_str(), seconds / pages, "s per page",
                "%zu pages in %.2f s, %.0f KiB per page", pages, seconds,
                bytes / 1024.0 / static_cast<double>(pages));
  }
  printer->release();
  if (keep) {
    std::printf("pages kept in %s\n", root.c_str());
  } else {
    deleteFolderTree(toWide(root, kCodePageSystem));
  }
  return failures == 0 ? 0 : 1;
}
