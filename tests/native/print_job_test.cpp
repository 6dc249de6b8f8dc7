#include "docprint/print_job.h"

#include <gtest/gtest.h>

#include "docprint/text_layout.h"

namespace scribly {
namespace {

TEST(PrintJob, DocumentsGoTheirWayPagesAreNamedAndFoundAndConvertersGetTheirArgumentsApart) {
  EXPECT_EQ(documentKind("C:\\d\\notes.TXT"), DocumentKind::Text);
  EXPECT_EQ(documentKind("C:\\d\\paper.Pdf"), DocumentKind::Pdf);
  for (const char* office : {"a.doc", "a.DOCX", "a.ppt", "a.pptx", "a.xls", "a.xlsx", "a.rtf",
                             "a.odt", "a.ODP", "a.ods"})
    EXPECT_EQ(documentKind(office), DocumentKind::Office) << office;
  // Pictures are never printed: they become backgrounds.
  for (const char* picture : {"photo.JPG", "a.bmp", "a.gif", "a.jpeg"}) {
    EXPECT_EQ(documentKind(picture), DocumentKind::Picture) << picture;
    EXPECT_FALSE(printsAsPages(documentKind(picture))) << picture;
  }
  for (const char* refused : {"a.exe", "README", "C:\\dir.pdf\\plain", "a.txt.bak", "a."})
    EXPECT_EQ(documentKind(refused), DocumentKind::Refused) << refused;

  // Packaged documents and PDFs must be what their names say.
  const std::string zip("PK\x03\x04rest", 8);
  const std::string late = std::string(900, ' ') + "%PDF-1.7";
  for (const char* packaged : {"a.docx", "a.PPTX", "a.xlsx", "a.odt", "a.odp", "a.ods"}) {
    EXPECT_TRUE(hasDocumentContainer(packaged, zip)) << packaged;
    EXPECT_FALSE(hasDocumentContainer(packaged, "\x8a\x1f random bytes")) << packaged;
    EXPECT_FALSE(hasDocumentContainer(packaged, "")) << packaged;
  }
  EXPECT_TRUE(hasDocumentContainer("C:\\paper.pdf", late));
  EXPECT_FALSE(hasDocumentContainer("paper.pdf", std::string(kContainerProbeBytes, ' ') + "%PDF-"));
  EXPECT_FALSE(hasDocumentContainer("paper.pdf", zip));
  // Old binary formats, RTF and text are left to the converters.
  EXPECT_TRUE(hasDocumentContainer("old.doc", "random"));
  EXPECT_TRUE(hasDocumentContainer("notes.txt", ""));

  // Pages are named after the document up to its last dot, found by number.
  EXPECT_EQ(baseNameOf("C:\\x.y\\a.b.doc"), "a.b");
  EXPECT_EQ(baseNameOf("/tmp/notes"), "notes");
  EXPECT_EQ(pageFileName("a.b", 1, ".jpg"), "a.b.jpg");
  EXPECT_EQ(pageFileName("a.b", 2, ".jpg"), "a.b(2).jpg");
  EXPECT_EQ(pageFileName("notes", 12, ".jpg"), "notes(12).jpg");

  // Rasterised pages are found by number only.
  EXPECT_EQ(rasterPageNumber("page-1.jpg", "page"), 1u);
  EXPECT_EQ(rasterPageNumber("page-012.jpg", "page"), 12u);
  for (const char* other : {"page-.jpg", "page-0.jpg", "page-1a.jpg", "page-1.png", "pag-1.jpg",
                            "page1.jpg", "page-99999999999.jpg", "page-1.jpg.tmp"})
    EXPECT_FALSE(rasterPageNumber(other, "page")) << other;

  // Converters get every argument apart, a private profile and a time limit.
  const auto office = officeToPdfArguments("soffice", fileUrl("/tmp/j 1/profile"), "/tmp/j 1",
                                           "/home/a; rm -rf ~/x.doc");
  EXPECT_EQ(office.front(), "soffice");
  EXPECT_EQ(office[1], "-env:UserInstallation=file:///tmp/j%201/profile");
  EXPECT_EQ(office.back(), "/home/a; rm -rf ~/x.doc");
  EXPECT_EQ(fileUrl("C:\\Temp\\p"), "file:///C:/Temp/p");
  const auto raster = pdfToJpegArguments("pdftoppm", 150, "in.pdf", "out/page");
  EXPECT_EQ(raster,
            (std::vector<std::string>{"pdftoppm", "-r", "150", "-f", "1", "-l", "1000", "-W",
                                      "4096", "-H", "4096", "-jpeg", "in.pdf", "out/page"}));
  EXPECT_EQ(windowsCommandLine({"C:\\p q\\run", "", "a\"b", "d\\e\\", "x y\\\\", "plain"}),
            "\"C:\\p q\\run\" \"\" \"a\\\"b\" d\\e\\ \"x y\\\\\\\\\" plain");

  // The time limit grows with the document up to a cap.
  EXPECT_EQ(conversionSeconds(0), 60u);
  EXPECT_EQ(conversionSeconds(1), 70u);
  EXPECT_EQ(conversionSeconds((uint64_t{1} << 20) + 1), 80u);
  EXPECT_EQ(conversionSeconds(uint64_t{1} << 40), 600u);
}

std::span<const uint8_t> bytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

std::vector<std::string> allLines(const TextLayout& layout) {
  std::vector<std::string> lines;
  for (const TextPage& page : layout.pages)
    lines.insert(lines.end(), page.lines.begin(), page.lines.end());
  return lines;
}

TEST(TextLayout, TabsExpandLongLinesWrapPagesFillAndHostileBytesGiveValidBoundedText) {
  const TextLayout layout = layoutText(bytes("a\tb\r\n0123456789ABC\rx\t\ty\n"), 10, 100);
  EXPECT_EQ(allLines(layout),
            (std::vector<std::string>{"a       b", "0123456789", "ABC", "x", "y"}));
  // Wide characters take two columns and never split across a line end.
  EXPECT_EQ(allLines(layoutText(bytes("ab\xE4\xB8\xAD\xE6\x96\x87"), 4, 9)),
            (std::vector<std::string>{"ab\xE4\xB8\xAD", "\xE6\x96\x87"}));

  // Lines fill pages and form feeds start new ones.
  std::string text;
  for (int i = 1; i <= 25; ++i) text += std::to_string(i) + "\n";
  const TextLayout paged = layoutText(bytes(text), 80, 10);
  ASSERT_EQ(paged.pages.size(), 3u);
  EXPECT_EQ(paged.pages[2].lines.front(), "21");
  EXPECT_EQ(paged.pages[2].lines.size(), 5u);
  EXPECT_EQ(layoutText(bytes("a\fb\f"), 80, 10).pages.size(), 2u);
  EXPECT_EQ(layoutText(bytes(""), 80, 10).pages.size(), 1u);
  EXPECT_EQ(layoutText(bytes("\xEF\xBB\xBFx"), 80, 10).pages[0].lines,
            std::vector<std::string>{"x"});

  // Hostile bytes give valid text and bounded pages.
  const TextLayout garbage = layoutText(bytes("\xFF\xC0\xAFz\x01\xED\xA0\x80"), 80, 10);
  ASSERT_EQ(garbage.pages[0].lines.size(), 1u);
  const std::string& line = garbage.pages[0].lines[0];
  EXPECT_TRUE(isUtf8(bytes(line)));
  EXPECT_NE(line.find('z'), std::string::npos);
  EXPECT_FALSE(isUtf8(bytes("caf\xE9")));
  EXPECT_TRUE(isUtf8(bytes("caf\xC3\xA9")));

  const std::string manyLines(kMaxTextPages * 3 + 1, '\n');
  const TextLayout tooLong = layoutText(bytes(manyLines), 80, 3);
  EXPECT_TRUE(tooLong.tooLong);
  EXPECT_EQ(tooLong.pages.size(), kMaxTextPages);
  EXPECT_FALSE(layoutText(bytes(std::string(kMaxTextPages * 3, '\n')), 80, 3).tooLong);
  // A degenerate grid still makes progress.
  EXPECT_EQ(allLines(layoutText(bytes("ab\t"), 0, 0)).size(), 2u);
}

}  // namespace
}  // namespace scribly
