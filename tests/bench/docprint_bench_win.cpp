// Seconds per page through docprint.dll: a text document, and a PDF, a .docx
// and a .pptx that LibreOffice makes first (not timed). With --keep the page
// pictures stay in the temporary folder it prints.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>

#include "tests/bench/bench_support.h"
#include "tests/win/office_documents.h"

using namespace scribly;

namespace {

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

}  // namespace

int main(int argc, char** argv) {
  const bool keep = argc > 1 && std::strcmp(argv[1], "--keep") == 0;
  BenchPrinter printer;
  if (!printer) {
    std::printf("docprint.dll not found beside the benchmark\n");
    return 1;
  }
  const std::string root = benchFolder("scribly-print-bench");

  writeText(root + "\\notes.txt", benchNotes());
  writeText(root + "\\deck.fodp", flatPresentation(20));
  if (!convertWithOffice(root + "\\notes.txt", root, "docx") ||
      !convertWithOffice(root + "\\notes.txt", root, "pdf") ||
      !convertWithOffice(root + "\\deck.fodp", root, "pptx")) {
    std::printf("LibreOffice could not make the documents\n");
    return 1;
  }
  MoveFileA((root + "\\notes.docx").c_str(), (root + "\\memo.docx").c_str());
  MoveFileA((root + "\\notes.pdf").c_str(), (root + "\\paper.pdf").c_str());

  int failures = 0;
  // The seconds a print took from the call to the report; 0 when it failed.
  const auto print = [&](const char* file, const char* base, int quality, const char* label) {
    const std::string folder =
        root + "\\out-" + base + "-" + std::to_string(quality) + label + "\\";
    const double seconds = printer.print(root + "\\" + file, folder, quality);
    uint64_t bytes = 0;
    const size_t pages = countPages(folder, base, bytes);
    if (seconds < 0 || pages == 0) {
      std::printf("%s: %s\n", file, seconds == -1 ? "not started" : "failed");
      ++failures;
      return 0.0;
    }
    std::printf("%-10s quality %d%s: %zu pages in %.2f s, %.3f s per page, %.0f KiB per page\n",
                file, quality, label, pages, seconds, seconds / pages,
                bytes / 1024.0 / static_cast<double>(pages));
    const std::string what = std::string(file) + " at quality " + std::to_string(quality) + label;
    printFigure(what.c_str(), seconds / pages, "s per page",
                "%zu pages in %.2f s, %.0f KiB per page", pages, seconds,
                bytes / 1024.0 / static_cast<double>(pages));
    return seconds;
  };
  // What a person would run by hand on the same file: LibreOffice into a PDF
  // (with the profile it has used before) and pdftoppm.
  const auto byHand = [&](const char* file, const char* base) {
    const std::string folder = root + "\\by-hand-" + base;
    CreateDirectoryA(folder.c_str(), nullptr);
    const Stopwatch clock;
    if (!convertWithOffice(root + "\\" + file, folder, "pdf") ||
        !runLinuxProgram(
            {"pdftoppm", "-r", "96", "-jpeg", linuxPathOf(folder + "\\" + base + ".pdf"),
             linuxPathOf(folder) + "/page"},
            folder, 60))
      return 0.0;
    return clock.seconds();
  };
  double pdfSeconds = 0;
  for (const auto& [file, base, quality] :
       {std::tuple{"notes.txt", "notes", 3}, std::tuple{"notes.txt", "notes", 2},
        std::tuple{"paper.pdf", "paper", 2}, std::tuple{"paper.pdf", "paper", 3}}) {
    const double seconds = print(file, base, quality, "");
    if (std::string_view(file) == "paper.pdf" && quality == 2) pdfSeconds = seconds;
  }
  const double hand = byHand("memo.docx", "memo");
  const double first = print("memo.docx", "memo", 2, "");
  // The converter kept running starts after the first office document; a
  // person takes longer than this to choose the next one.
  Sleep(4000);
  print("deck.pptx", "deck", 2, "");
  const double later = print("memo.docx", "memo", 2, ", again");
  printFigure("memo.docx, the first office document", first, "s", "%.2f x by hand (%.2f s)",
              first / hand, hand);
  // memo.docx and paper.pdf hold the same pages: what the later one takes
  // beyond the PDF is the office's start and conversion.
  printFigure("memo.docx, a later office document", later, "s",
              "the same pages from a PDF %.2f s (%+.2f s); the first %.2f s", pdfSeconds,
              later - pdfSeconds, first);
  if (keep) {
    std::printf("pages kept in %s\n", root.c_str());
  } else {
    deleteFolderTree(toWide(root, kCodePageSystem));
  }
  return failures == 0 ? 0 : 1;
}
