// docprint.dll loaded by full path, as the contents panel loads it: page
// pictures named after the document, the report posted to a window, stop and
// refusals.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/bmp_file.h"
#include "base/file_bytes.h"
#include "base/jpeg_codec.h"
#include "base/picture_header.h"
#include "docprint/doc_printer_win.h"
#include "docprint/print_job.h"
#include "tests/support/win_test_support.h"
#include "tests/win/office_documents.h"
#include "win/handles.h"
#include "win/module.h"
#include "win/text.h"
#include "win/window_proc.h"

namespace scribly {
namespace {

std::optional<LPARAM> lastReport;

LRESULT CALLBACK reportWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kPrintFinishedMessage) lastReport = lParam;
  return DefWindowProcW(window, msg, wParam, lParam);
}

// docprint.dll from `path`; null when it does not load.
DocPrinter* loadPrinter(const std::string& path, HMODULE& module) {
  module = LoadLibraryW(toWide(path, kCodePageSystem).c_str());
  const auto create = reinterpret_cast<CreateDocPrintFunction>(
      reinterpret_cast<void*>(module ? GetProcAddress(module, kCreateDocPrintName) : nullptr));
  return create ? create() : nullptr;
}

// The first entry of the temporary folder matching `pattern`; empty when none.
std::wstring tempEntry(const std::wstring& pattern) {
  WIN32_FIND_DATAW found;
  const FindHandle search(FindFirstFileW(tempPath(pattern).c_str(), &found));
  return search ? tempPath(found.cFileName) : std::wstring();
}

class DocPrinterTest : public testing::Test {
 protected:
  void SetUp() override {
    printer_ = loadPrinter(moduleFolder() + "\\docprint.dll", module_);
    ASSERT_NE(printer_, nullptr);
    registerWindowClass(moduleInstance(), L"ScriblyPrintReportTest", reportWindowProc);
    window_ = CreateWindowExW(0, L"ScriblyPrintReportTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, moduleInstance(), nullptr);
    printer_->setNotifyWindow(window_, kPrintFinishedMessage);
    lastReport.reset();
    root_ = folder_.narrowPath();
    // Under a folder that does not exist yet: the printer makes it.
    outputTo("out");
  }

  void TearDown() override {
    if (printer_) printer_->release();
    if (window_) DestroyWindow(window_);
    if (module_) FreeLibrary(module_);
  }

  void outputTo(const std::string& folder) {
    output_ = root_ + "\\PrintTemp\\" + folder + "\\";
    printer_->setOutputFolder(output_.c_str());
  }

  std::string document(const std::string& name, std::string_view text) {
    const std::string path = root_ + "\\" + name;
    writeText(path, text);
    return path;
  }

  // Pumps messages until the report arrives.
  std::optional<LPARAM> waitForReport(int seconds) {
    pumpUntil([] { return lastReport.has_value(); }, "the printer's report", seconds * 1000);
    return lastReport;
  }

  std::vector<std::string> outputFiles() {
    std::vector<std::string> names;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(output_, missing))
      if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  struct Page {
    int width = 0;
    int height = 0;
    int64_t ink = -1;  // dark pixels; -1 when the file is no picture
  };
  Page pageOf(const std::string& name) {
    const FileReadResult file = readFileBytes(output_ + name, size_t{64} << 20);
    const std::vector<uint8_t>& b = file.bytes;
    const auto header = readPictureFileHeader(b);
    Page page;
    if (!header) return page;
    page.width = static_cast<int>(header->width);
    page.height = static_cast<int>(header->height);
    const auto pixels =
        decodeJpeg(b, static_cast<uint16_t>(page.width), static_cast<uint16_t>(page.height));
    if (!pixels) return page;
    page.ink = 0;
    for (size_t i = 0; i + 2 < pixels->size(); i += 3) {
      if ((*pixels)[i] + (*pixels)[i + 1] + (*pixels)[i + 2] < 3 * 128) ++page.ink;
    }
    return page;
  }

  // The pages of a finished job: base.jpg, base(2).jpg ... and nothing else.
  size_t pageCount(const std::string& base) {
    const std::vector<std::string> files = outputFiles();
    std::vector<std::string> expected;
    for (uint32_t n = 1; n <= files.size(); ++n) expected.push_back(pageFileName(base, n, ".jpg"));
    std::sort(expected.begin(), expected.end());
    return files == expected ? files.size() : 0;
  }

  std::optional<LPARAM> print(const std::string& path, int seconds) {
    lastReport.reset();
    if (!printer_->printDocument(path.c_str())) return std::nullopt;
    return waitForReport(seconds);
  }

  // Stopped once the office converter has started on `file`: the job fails
  // soon, with no pages.
  void stopWhileConverting(const std::string& file) {
    outputTo("stopped");
    lastReport.reset();
    ASSERT_NE(printer_->printDocument((root_ + "\\" + file).c_str()), 0);
    pumpUntil(
        [] {
          const std::wstring job =
              tempEntry(L"scribly-print-" + std::to_wstring(GetCurrentProcessId()) + L"-*");
          return !job.empty() &&
                 GetFileAttributesW((job + L"\\converted").c_str()) != INVALID_FILE_ATTRIBUTES;
        },
        "the converter to start");
    printer_->stop();
    EXPECT_EQ(waitForReport(20), 0);
    EXPECT_TRUE(outputFiles().empty());
  }

  HMODULE module_ = nullptr;
  DocPrinter* printer_ = nullptr;
  HWND window_ = nullptr;
  TempFolder folder_{L"scribly-docprint"};
  std::string root_;
  std::string output_;
};

TEST_F(DocPrinterTest, TextPrintsOnePictureWithInkPerPageAndAStopEndsALongJobWithNone) {
  std::string text;
  for (int page = 1; page <= 12; ++page) {
    text += "Page " + std::to_string(page) + "\tof the notes\r\n" + std::string(300, 'x') + "\f";
  }
  printer_->setQuality(3);
  ASSERT_EQ(print(document("notes.txt", text), 60), kPrintSucceeded);
  EXPECT_EQ(pageCount("notes"), 12u);
  for (const char* name : {"notes.jpg", "notes(12).jpg"}) {
    const Page page = pageOf(name);
    EXPECT_EQ(page.width, pagePixels(kPageWidthTenthsMm, 150));
    EXPECT_EQ(page.height, pagePixels(kPageHeightTenthsMm, 150));
    EXPECT_GT(page.ink, 2000) << name;
  }

  // Another job on the same printer, named up to the last dot, at the other
  // quality.
  printer_->setQuality(2);
  ASSERT_EQ(print(document("a.b.TXT", "only page"), 60), kPrintSucceeded);
  EXPECT_EQ(pageOf("a.b.jpg").width, pagePixels(kPageWidthTenthsMm, 96));
  EXPECT_GT(pageOf("a.b.jpg").ink, 30);

  // A stop ends a long job, which refuses another meanwhile, with a failure
  // and no pages.
  outputTo("long");
  lastReport.reset();
  const std::string path = document("long.txt", std::string(900, '\f') + "end");
  ASSERT_NE(printer_->printDocument(path.c_str()), 0);
  EXPECT_EQ(printer_->printDocument(path.c_str()), 0);
  pumpUntil([&] { return !outputFiles().empty(); }, "the first pages");
  printer_->stop();
  ASSERT_EQ(waitForReport(10), 0);
  EXPECT_TRUE(outputFiles().empty());
}

// The folder of the office kept running for this process; empty when none runs.
std::wstring warmOfficeFolder() {
  return tempEntry(L"scribly-office-" + std::to_wstring(GetCurrentProcessId()) + L"-*");
}

bool warmOfficeReady() {
  const std::wstring folder = warmOfficeFolder();
  return !folder.empty() &&
         GetFileAttributesW((folder + L"\\.~lock.keep.txt#").c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Office documents and PDFs become pages with content. A stop while the
// converter runs kills it. After the first office document one office stays
// running for the next; when it dies the next job still prints and a new one
// starts; a stop ends the job and it; the last printer's release ends it.
TEST_F(DocPrinterTest, OfficeDocumentsAndPdfsBecomePagesThroughAnOfficeKeptRunningTillTheEnd) {
  std::string memo;
  for (int line = 1; line <= 90; ++line) memo += "Line " + std::to_string(line) + " of the memo\n";
  const std::string memoText = document("memo.txt", memo);
  writeText(root_ + "\\deck.fodp", flatPresentation(3));
  ASSERT_TRUE(convertWithOffice(memoText, root_, "docx"));
  ASSERT_TRUE(convertWithOffice(memoText, root_, "pdf"));
  ASSERT_TRUE(convertWithOffice(root_ + "\\deck.fodp", root_, "pptx"));
  ASSERT_TRUE(convertWithOffice(memoText, root_, "odt"));
  ASSERT_TRUE(CopyFileA((root_ + "\\memo.docx").c_str(), (root_ + "\\a.b.docx").c_str(), FALSE));
  // Before any office is kept: the converter is killed, and none stays.
  stopWhileConverting("deck.pptx");
  EXPECT_TRUE(warmOfficeFolder().empty());

  struct Case {
    const char* file;
    const char* base;
    size_t pages;
  };
  for (const Case& c : {Case{"a.b.docx", "a.b", 2}, Case{"deck.pptx", "deck", 3},
                        Case{"memo.pdf", "memo", 2}, Case{"memo.odt", "memo", 2}}) {
    outputTo(c.base);
    ASSERT_EQ(print(root_ + "\\" + c.file, 180), kPrintSucceeded) << c.file;
    EXPECT_EQ(pageCount(c.base), c.pages) << c.file;
    EXPECT_GT(pageOf(std::string(c.base) + ".jpg").ink, 500) << c.file;
  }

  const auto printMemo = [&](const char* folder) {
    outputTo(folder);
    return print(root_ + "\\memo.docx", 180);
  };
  ASSERT_TRUE(pumpUntil(warmOfficeReady, "the office to start", 60000));
  const std::wstring first = warmOfficeFolder();
  ASSERT_EQ(printMemo("warm"), kPrintSucceeded);
  EXPECT_EQ(pageCount("memo"), 2u);
  EXPECT_EQ(warmOfficeFolder(), first);

  // Killed by its runner as if it had crashed.
  FileHandle(
      CreateFileW((first + L"\\stop").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  ASSERT_TRUE(pumpUntil(
      [&] { return GetFileAttributesW((first + L"\\status").c_str()) != INVALID_FILE_ATTRIBUTES; },
      "the office to end"));
  ASSERT_EQ(printMemo("after"), kPrintSucceeded);
  EXPECT_EQ(pageCount("memo"), 2u);
  ASSERT_TRUE(pumpUntil(warmOfficeReady, "a new office", 60000));
  EXPECT_NE(warmOfficeFolder(), first);

  // Stopped while the office converts: no pages, and the office goes too.
  stopWhileConverting("memo.docx");
  EXPECT_TRUE(warmOfficeFolder().empty());

  ASSERT_EQ(printMemo("last"), kPrintSucceeded);
  ASSERT_TRUE(pumpUntil(warmOfficeReady, "a new office", 60000));
  printer_->release();
  printer_ = nullptr;
  EXPECT_TRUE(warmOfficeFolder().empty());
}

TEST_F(DocPrinterTest, TheDocumentPrintsAsItWasWhenTheJobWasAccepted) {
  const std::string path = document("paper.pdf", blankPdf(1));
  lastReport.reset();
  ASSERT_NE(printer_->printDocument(path.c_str()), 0);
  // Its owner saves three pages over it as soon as it can.
  const std::string later = blankPdf(3);
  pumpUntil(
      [&] {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        WriteFile(file, later.data(), static_cast<DWORD>(later.size()), &written, nullptr);
        CloseHandle(file);
        return true;
      },
      "the document to be free", 60000);
  ASSERT_EQ(waitForReport(120), kPrintSucceeded);
  EXPECT_EQ(pageCount("paper"), 1u);
}

TEST_F(DocPrinterTest, AnOfficeDocumentShowsNoPictureItOnlyLinksTo) {
  // A black square beside the document, which a text links to by its path:
  // the pages would carry the neighbour's file to every participant.
  const BmpLayout layout = *bmpLayout(64, 64, 24);
  ASSERT_TRUE(writeFileBytes(root_ + "\\secret.bmp",
                             bmpFileBytes(layout, {}, std::vector<uint8_t>(layout.pixelBytes()))));
  const std::string fodt =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
      "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
      "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
      "xmlns:xlink=\"http://www.w3.org/1999/xlink\" office:version=\"1.2\" "
      "office:mimetype=\"application/vnd.oasis.opendocument.text\">"
      "<office:body><office:text><text:p>Linked:<draw:frame svg:width=\"5cm\" "
      "svg:height=\"5cm\" text:anchor-type=\"as-char\"><draw:image xlink:href=\"" +
      fileUrl(linuxPathOf(root_ + "\\secret.bmp")) +
      "\" xlink:type=\"simple\" xlink:show=\"embed\" xlink:actuate=\"onLoad\"/></draw:frame>"
      "</text:p></office:text></office:body></office:document>";
  document("linked.fodt", fodt);
  // Kept as a link in the converted document.
  ASSERT_TRUE(convertWithOffice(root_ + "\\linked.fodt", root_, "docx"));
  ASSERT_EQ(print(root_ + "\\linked.docx", 180), kPrintSucceeded);
  EXPECT_LT(pageOf("linked.jpg").ink, 5000);
}

TEST_F(DocPrinterTest, WithoutItsConvertersAPrinterFailsCleanlyAndRefusesWhatItCannotPrint) {
  // The library alone, without the runner that starts the converters.
  const std::string lonely = root_ + "\\alone";
  CreateDirectoryA(lonely.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA((moduleFolder() + "\\docprint.dll").c_str(),
                        (lonely + "\\docprint.dll").c_str(), FALSE));
  HMODULE module = nullptr;
  DocPrinter* printer = loadPrinter(lonely + "\\docprint.dll", module);
  ASSERT_NE(printer, nullptr);
  printer->setNotifyWindow(window_, kPrintFinishedMessage);
  printer->setOutputFolder(output_.c_str());
  lastReport.reset();
  ASSERT_NE(printer->printDocument(document("paper.pdf", "%PDF-1.4\n").c_str()), 0);
  EXPECT_EQ(waitForReport(20), 0);
  printer->release();
  FreeLibrary(module);
  EXPECT_TRUE(outputFiles().empty());

  // Pictures, unknown kinds, random bytes under a document's name (each kind
  // and container is pinned by PrintJob.DocumentsGoTheirWay...), missing
  // documents and folders are refused, and nothing reported.
  lastReport.reset();
  for (const std::string& path :
       {document("photo.JPG", "x"), document("tool.exe", "x"),
        document("junk.docx", "\x8a\x1f\x03 not a package"), root_ + "\\missing.txt", root_})
    EXPECT_EQ(printer_->printDocument(path.c_str()), 0) << path;
  printer_->setOutputFolder("");
  EXPECT_EQ(printer_->printDocument(document("notes.txt", "x").c_str()), 0);
  pump();
  EXPECT_FALSE(lastReport);
}

}  // namespace
}  // namespace scribly
