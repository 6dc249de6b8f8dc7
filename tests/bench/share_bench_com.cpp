// The time from the click on "start" in the share dialog until every
// participant has the last page of a 20-page text document, of a PDF that
// LibreOffice makes from it and of a 20-slide PDF (not timed): two plug-ins
// relayed to each other as the COM tests drive them, with the real printer
// beside the program. Each is read against printing the same file at the
// same quality, in this run, through docprint.dll alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>

#include "host_session.h"
#include "share/document_share.h"
#include "tests/bench/bench_support.h"
#include "tests/win/office_documents.h"

namespace scribly::test {
namespace {

double secondsBetween(std::chrono::steady_clock::time_point from,
                      std::chrono::steady_clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

class ShareBench : public Interface {
 protected:
  // A share as shareDocument makes it, but with every message handed on as
  // soon as it is sent, one window message at a time, as a host's network
  // hands them on: the fixture's pump runs the whole import before it
  // relays, and Ann's messages wait for Ben's acknowledgements meanwhile.
  int shareHandingOn(const std::wstring& path) {
    HWND tip = startShare(path);
    if (!tip) return 0;
    int created = 0;
    const auto giveUp = shareStarted_ + std::chrono::minutes(2);
    // Until the import has ended and nothing is left to hand on.
    for (bool quiet = false;
         (IsWindowVisible(tip) || !quiet) && std::chrono::steady_clock::now() < giveUp;) {
      MSG message;
      quiet = !PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
      if (!quiet) DispatchMessageW(&message);
      for (auto& m : std::exchange(ann_->sink.sent, {})) {
        if (codeOf(m) == 88) ++created, lastPageHandedOn_ = std::chrono::steady_clock::now();
        ben_->plugin->DataIn(1, m.data(), static_cast<ULONG>(m.size()));
        quiet = false;
      }
      for (auto& m : std::exchange(ben_->sink.sent, {})) {
        ann_->plugin->DataIn(2, m.data(), static_cast<ULONG>(m.size()));
        quiet = false;
      }
      if (quiet) MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    for (int i = 0; i < 50; ++i) relay();
    if (HWND contents = visiblePanel("scribly contents panel"))
      SendMessageW(contents, WM_CLOSE, 0, 0);
    pump();
    return created;
  }
};

TEST_F(ShareBench, StartToTheLastPageOnEveryParticipant) {
  const std::string folder = benchFolder("scribly-share-bench");
  writeText(folder + "\\notes.txt", benchNotes());
  ASSERT_TRUE(convertWithOffice(folder + "\\notes.txt", folder, "pdf"));
  // Slides of little ink: small pages, which import faster than the timer ticks.
  writeText(folder + "\\deck.fodp", flatPresentation(20));
  ASSERT_TRUE(convertWithOffice(folder + "\\deck.fodp", folder, "pdf"));

  // The dialog prints with picture quality unless the document is a text.
  for (const auto& [name, quality] :
       {std::pair{"notes.txt", kQualityText}, std::pair{"notes.pdf", kQualityPicture},
        std::pair{"deck.pdf", kQualityPicture}}) {
    // Printed alone, from the call until the report, by a printer of its own.
    const double printing =
        BenchPrinter().print(folder + "\\" + name, folder + "\\printed\\", quality);
    deleteFolderTree(folder + "\\printed\\");
    ASSERT_GT(printing, 0) << name;
    const int pages = shareHandingOn(toWide(folder + "\\" + name, kCodePageSystem));
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
