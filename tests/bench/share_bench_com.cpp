// The time from the click on "start" in the share dialog until every
// participant has the last page of a 20-page text document, and of a PDF that
// LibreOffice makes from it (not timed): two plug-ins relayed to each other as
// the COM tests drive them, with the real printer beside the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "host_session.h"
#include "tests/bench/bench_figure.h"
#include "tests/win/office_documents.h"

namespace scribly::test {
namespace {

double secondsBetween(std::chrono::steady_clock::time_point from,
                      std::chrono::steady_clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
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

  for (const std::string name : {"notes.txt", "notes.pdf"}) {
    const int pages = shareDocument(toWide(folder + "\\" + name, kCodePageSystem));
    const auto finished = std::chrono::steady_clock::now();
    const Messages board = report(*ben_);
    const std::string last = name + "/" + std::to_string(pages) + '\0';
    bool benHasIt = false;
    for (const auto& m : board)
      benHasIt = benHasIt || std::search(m.begin(), m.end(), last.begin(), last.end()) != m.end();
    EXPECT_TRUE(benHasIt) << name;
    std::printf(
        "%-9s %d pages: last page on both after %.2f s (%.3f s per page), "
        "import finished and relayed after %.2f s\n",
        name.c_str(), pages, secondsBetween(shareStarted_, lastPageHandedOn_),
        secondsBetween(shareStarted_, lastPageHandedOn_) / pages,
        secondsBetween(shareStarted_, finished));
    const double lastPage = secondsBetween(shareStarted_, lastPageHandedOn_);
    printFigure((name + ": start to the last page on both").c_str(), lastPage, "s",
                "import finished and relayed %.2f s; goal <= 1.5 x printing (docprint_bench_win)",
                secondsBetween(shareStarted_, finished));
  }
  deleteFolderTree(toWide(folder, kCodePageSystem));
}

}  // namespace
}  // namespace scribly::test
