// What runs other programs, with the programs themselves, so Linux only:
// pages exported as one PDF, read back by poppler as a person's viewer would
// (the page count, each page's size and outline name, and the pixels of a
// page the file holds), and the runner that starts the document converters.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "docprint/converter_runner.h"
#include "images/page_export.h"

namespace scribly {
namespace {

std::string run(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

// A pattern no two pages share, so a page out of place shows.
uint32_t pixelOf(uint32_t page, int x, int y) {
  return (page * 40u + static_cast<uint32_t>(x) * 3u) % 256u << 16 |
         (static_cast<uint32_t>(y) * 5u) % 256u << 8 | static_cast<uint32_t>(x ^ y) % 256u;
}

// A fresh folder, removed with what it holds.
class FolderTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/scribly-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { run("rm -rf '" + folder_ + "'"); }

  std::string folder_;
};

TEST_F(FolderTest,
       PopplerReadsEveryExportedPageInOrderWithItsNameSizeAndPixelsFailuresWriteNothing) {
  PageExport how;
  std::vector<size_t> progress;
  how.nameOf = [](const Page& page) { return page.name(); };
  how.progress = [&](size_t done, size_t total) { progress.push_back(done * 100 + total); };
  how.draw = [](const Page& page, const std::function<bool(const PagePixels&)>& use) {
    const Size size = page.size();
    const size_t stride = size_t(size.width) * 4 + 8;  // padded rows
    std::vector<uint8_t> bgrx(stride * size_t(size.height));
    for (int y = 0; y < size.height; ++y)
      for (int x = 0; x < size.width; ++x) {
        const uint32_t c = pixelOf(page.id(), x, y);
        uint8_t* p = &bgrx[size_t(y) * stride + size_t(x) * 4];
        p[0] = c & 0xFF, p[1] = c >> 8 & 0xFF, p[2] = c >> 16 & 0xFF;
      }
    return use(PagePixels{size.width, size.height, stride, bgrx.data()});
  };
  std::vector<std::unique_ptr<Page>> pages;
  pages.push_back(std::make_unique<Page>(7, "Whiteboard", 120, 100));
  // Beyond Latin-1, beyond the basic plane, a parenthesis PDF strings escape,
  // and a byte that is no UTF-8.
  pages.push_back(
      std::make_unique<Page>(9, "\xC3\xA9t\xC3\xA9 \xD0\x96 (1) \xF0\x9F\x98\x80 \xFF", 100, 200));
  pages.push_back(std::make_unique<Page>(12, "last", 300, 110));
  const std::string path = folder_ + "/board.pdf";
  ASSERT_EQ(exportPdf(pages, how, path), ExportResult::Written);
  EXPECT_EQ(progress, (std::vector<size_t>{3, 103, 203, 303}));

  const std::string info = run("pdfinfo -f 1 -l 3 '" + path + "' 2>&1 | tr -s ' '");
  EXPECT_NE(info.find("Pages: 3\n"), std::string::npos) << info;
  for (const char* size :
       {"Page 1 size: 120 x 100 pts", "Page 2 size: 100 x 200 pts", "Page 3 size: 300 x 110 pts"})
    EXPECT_NE(info.find(size), std::string::npos) << info;
  const std::string outline = run("pdftohtml -xml -i -q -stdout '" + path + "'");
  const size_t first = outline.find("<item page=\"1\">Whiteboard</item>");
  const size_t second = outline.find(
      "<item page=\"2\">\xC3\xA9t\xC3\xA9 \xD0\x96 (1) \xF0\x9F\x98\x80 \xEF\xBF\xBD</item>");
  const size_t third = outline.find("<item page=\"3\">last</item>");
  EXPECT_TRUE(first < second && second < third && third != std::string::npos) << outline;

  // Lossless: the second page's picture comes out exactly as drawn.
  ASSERT_EQ(run("pdfimages -f 2 -l 2 '" + path + "' '" + folder_ + "/p' && echo ok"), "ok\n");
  std::ifstream ppm(folder_ + "/p-000.ppm", std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  ppm >> magic >> w >> h >> max;
  ppm.get();
  ASSERT_EQ(magic + std::to_string(w) + "x" + std::to_string(h), "P6100x200");
  const std::vector<uint8_t> rgb{std::istreambuf_iterator<char>(ppm), {}};
  ASSERT_EQ(rgb.size(), size_t(100 * 200 * 3));
  int differing = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 100; ++x) {
      const uint8_t* p = &rgb[size_t(y * 100 + x) * 3];
      differing += (uint32_t(p[0]) << 16 | p[1] << 8 | p[2]) != pixelOf(9, x, y);
    }
  EXPECT_EQ(differing, 0);

  // Every failure is an answer and leaves no file behind.
  const std::string failed = folder_ + "/out.pdf";
  EXPECT_EQ(exportPdf({}, how, failed), ExportResult::NoPages);
  EXPECT_EQ(exportPdf(pages, how, folder_ + "/no such folder/out.pdf"), ExportResult::WriteFailed);
  how.draw = [](const Page&, const std::function<bool(const PagePixels&)>&) { return false; };
  EXPECT_EQ(exportPdf(pages, how, failed), ExportResult::DrawFailed);
  how.draw = [](const Page&, const std::function<bool(const PagePixels&)>& use) {
    const uint8_t pixel[4] = {};
    return use(PagePixels{kMaxExportSide + 1, 1, size_t(kMaxExportSide + 1) * 4, pixel});
  };
  EXPECT_EQ(exportPdf(pages, how, failed), ExportResult::BuildFailed);
  EXPECT_NE(access(failed.c_str(), F_OK), 0);
}

std::string firstLine(const std::string& path) {
  std::ifstream in(path);
  std::string text;
  std::getline(in, text);
  return text;
}

// A process that has ended, even one no parent reaped yet, runs no more. A
// killed process dies only once it is next scheduled, so a loaded machine gets
// a few seconds before it counts as still running.
bool running(const std::string& pid) {
  for (int i = 0; i < 500; ++i) {
    const std::string stat = firstLine("/proc/" + pid + "/stat");
    const size_t state = stat.rfind(')');
    if (state == std::string::npos || state + 2 >= stat.size() || stat[state + 2] == 'Z') {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// The program may start one of its own (as soffice does); the stop file and
// the time limit end both.
TEST_F(FolderTest, ConverterRunnerPassesArgumentsUnreadByAShellReportsItsEndAndStopsTheProgram) {
  RunnerRequest job;
  job.statusFile = folder_ + "/status";
  job.stopFile = folder_ + "/stop";
  job.seconds = 30;
  const std::string out = folder_ + "/out";
  job.arguments = {"sh", "-c", "printf %s \"$1\" > \"$2\"; exit 3", "sh", "a b; $(false)", out};
  EXPECT_EQ(runConverter(job), 3);
  EXPECT_EQ(firstLine(job.statusFile), "3");
  EXPECT_EQ(firstLine(out), "a b; $(false)");

  job.arguments = {"scribly-no-such-converter", "x"};
  EXPECT_EQ(runConverter(job), kRunnerCannotStart);
  EXPECT_EQ(firstLine(job.statusFile), std::to_string(kRunnerCannotStart));

  // Malformed command lines of the runner itself are refused.
  RunnerRequest request;
  const char* good[] = {"scribly-convert", "/s", "/t", "60", "pdftoppm", "-r", "96"};
  ASSERT_TRUE(parseRunnerArguments(7, good, request));
  EXPECT_EQ(request.seconds, 60u);
  EXPECT_EQ(request.arguments.size(), 3u);
  const char* noProgram[] = {"scribly-convert", "/s", "/t", "60"};
  EXPECT_FALSE(parseRunnerArguments(4, noProgram, request));
  const char* badSeconds[] = {"scribly-convert", "/s", "/t", "6x", "p"};
  EXPECT_FALSE(parseRunnerArguments(5, badSeconds, request));

  const std::string pidFile = folder_ + "/pid";
  job.arguments = {"sh", "-c", "sleep 30 & echo $! > \"$1\"; wait", "sh", pidFile};
  std::thread stopper([&] {
    for (int i = 0; i < 3000 && firstLine(pidFile).empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ofstream(job.stopFile) << "";
  });
  EXPECT_EQ(runConverter(job), kRunnerStopped);
  stopper.join();
  ASSERT_FALSE(firstLine(pidFile).empty());
  EXPECT_FALSE(running(firstLine(pidFile)));
  unlink(job.stopFile.c_str());
  unlink(pidFile.c_str());

  job.seconds = 1;
  EXPECT_EQ(runConverter(job), kRunnerTimedOut);
  EXPECT_EQ(firstLine(job.statusFile), std::to_string(kRunnerTimedOut));
  ASSERT_FALSE(firstLine(pidFile).empty());
  EXPECT_FALSE(running(firstLine(pidFile)));
}

}  // namespace
}  // namespace scribly
#endif
