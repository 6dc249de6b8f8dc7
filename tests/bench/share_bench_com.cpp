// The time from the click on "start" in the share dialog until every
// participant has the last page of a 20-page text document, and of a PDF that
// LibreOffice makes from it (not timed): two plug-ins relayed to each other as
// the COM tests drive them, with the real printer beside the program. Each
// is read against printing the same file at the same quality, in this run,
// through docprint.dll alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>

#include "docprint/doc_printer_win.h"
#include "host_session.h"
#include "share/document_share.h"
#include "tests/bench/bench_figure.h"
#include "tests/win/office_documents.h"

namespace scribly::test {
namespace {

double secondsBetween(std::chrono::steady_clock::time_point from,
                      std::chrono::steady_clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// The seconds docprint.dll takes to print `path` into `folder`, from the
// call until its report; a negative value when it fails.
double printingSeconds(const std::string& path, const std::string& folder, int32_t quality) {
  static WPARAM reported = 0;
  static LPARAM result = 0;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPrintFinishedMessage) reported = wParam, result = lParam;
    return DefWindowProcW(window, message, wParam, lParam);
  };
  windowClass.lpszClassName = L"ScriblyShareBenchPrint";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, nullptr, nullptr);
  HMODULE module = LoadLibraryW(besideSelf(kDocPrintModule).c_str());
  const auto create = module ? reinterpret_cast<CreateDocPrintFunction>(reinterpret_cast<void*>(
                                   GetProcAddress(module, kCreateDocPrintName)))
                             : nullptr;
  DocPrinter* printer = create ? create() : nullptr;
  double seconds = -1;
  if (printer) {
    printer->setNotifyWindow(window, kPrintFinishedMessage);
    printer->setOutputFolder(folder.c_str());
    printer->setQuality(quality);
    reported = 0;
    const auto start = std::chrono::steady_clock::now();
    if (printer->printDocument(path.c_str()) &&
        pumpUntil([&] { return reported == printer->jobNumber(); }, "the print", 120000) &&
        result == kPrintSucceeded)
      seconds = secondsBetween(start, std::chrono::steady_clock::now());
    printer->release();
  }
  DestroyWindow(window);
  deleteFolderTree(toWide(folder, kCodePageSystem));
  return seconds;
}

TEST_F(Interface, StartToTheLastPageOnEveryParticipant) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string folder =
      std::string(temp) + "scribly-share-bench-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string text;
  for (int page = 1; page <= 20; ++page) {
    text += "Page " + std::to_string(page) + "\n";
    for (int line = 1; line < 45; ++line)
      text += "\tLine " + std::to_string(line) + ": the quick brown fox jumps over the lazy dog.\n";
    text += "\f";
  }
  writeFileBytes(folder + "\\notes.txt",
                 std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  ASSERT_TRUE(convertWithOffice(folder + "\\notes.txt", folder, "pdf"));

  // The dialog prints with picture quality unless the document is a text.
  for (const auto& [name, quality] :
       {std::pair{"notes.txt", kQualityText}, std::pair{"notes.pdf", kQualityPicture}}) {
    const double printing = printingSeconds(folder + "\\" + name, folder + "\\printed\\", quality);
    ASSERT_GT(printing, 0) << name;
    const int pages = shareDocument(toWide(folder + "\\" + name, kCodePageSystem));
    const auto finished = std::chrono::steady_clock::now();
    const Messages board = report(*ben_);
    const std::string last = std::string(name) + "/" + std::to_string(pages) + '\0';
    bool benHasIt = false;
    for (const auto& m : board)
      benHasIt = benHasIt || std::search(m.begin(), m.end(), last.begin(), last.end()) != m.end();
    EXPECT_TRUE(benHasIt) << name;
    const double lastPage = secondsBetween(shareStarted_, lastPageHandedOn_);
    const double everything = secondsBetween(shareStarted_, finished);
    std::printf(
        "%-9s %d pages: printed alone in %.2f s; shared: last page on both after %.2f s, "
        "import finished and relayed after %.2f s\n",
        name, pages, printing, lastPage, everything);
    printFigure((std::string(name) + ": start to the last page on both").c_str(), lastPage, "s",
                "%.2f x printing it alone (%.2f s); goal <= 1.5 x", lastPage / printing, printing);
    printFigure((std::string(name) + ": start to the import finished and relayed").c_str(),
                everything, "s", "%.2f x printing it alone", everything / printing);
  }
  deleteFolderTree(toWide(folder, kCodePageSystem));
}

}  // namespace
}  // namespace scribly::test
