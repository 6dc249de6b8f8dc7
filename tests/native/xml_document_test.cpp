#include "base/xml_document.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "skin/language_texts.h"
#include "skin/skin_config.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace scribly {
namespace {

using namespace std::string_literals;

// Parses from a heap block of exactly the text's length, so ASan reports any
// read past the end (a std::string would hide one behind its terminator).
XmlError parseExact(XmlDocument& doc, std::string_view text) {
  std::vector<char> exact(text.begin(), text.end());
  doc.parse(std::string_view(exact.data(), exact.size()));
  return doc.lastError();
}

XmlError parseError(std::string_view text) {
  XmlDocument doc;
  return parseExact(doc, text);
}

// Compact dump of a tree: name, attributes, text and children, for comparing
// two documents whole.
std::string dump(XmlElementHandle e) {
  std::string out = "(" + e.name();
  for (const XmlAttribute& a : e.attributes()) out += " " + a.name + "=[" + a.value + "]";
  out += " {" + e.text() + "}";
  for (XmlElementHandle c = e.firstChild(); c; c = c.nextSibling()) out += dump(c);
  return out + ")";
}

std::string dump(const XmlDocument& doc) {
  std::string out;
  for (XmlElementHandle r = doc.root(); r; r = r.nextSibling()) out += dump(r);
  return out;
}

std::string tempPath(const std::string& name) { return testing::TempDir() + "scribly_xml_" + name; }

void writeFile(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string repeat(std::string_view s, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += s;
  return out;
}

constexpr std::string_view kSkin =
    "<window name=\"main\" width=\"640\">\r\n"
    "  <button name=\"ok\" default/>\r\n"
    "  <label name=\"title\">Page &lt;1&gt;</label>\r\n"
    "  <button name=\"cancel\"></button>\r\n"
    "</window>\r\n";

// Several roots are siblings; text runs around children are joined; a leaf
// keeps its whitespace; whitespace between tokens and indentation around
// children is layout; a bare attribute is "true"; entities decode once and
// unknown ampersands stay.
TEST(XmlParse, DocumentsReadAsTheirTreesOtherFormsAndWhatPassesTheCapsAreRejected) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {kSkin,
       "(window name=[main] width=[640] {}(button name=[ok] default=[true] {})"
       "(label name=[title] {Page <1>})(button name=[cancel] {}))"},
      {"<a/> <b x=\"1\"/>\n<c>t</c>", "(a {})(b x=[1] {})(c {t})"},
      {"<p>one <b>two</b> three<i/></p><q>  </q>", "(p {one  three}(b {two})(i {}))(q {  })"},
      {"\t\r\n< a \n x\t=\r\n\"1\" y >t</ a >\n", "(a x=[1] y=[true] {t})"},
      {"<e v=\"a &amp; b\" all=\"&lt;&gt;&amp;&apos;&quot;\" raw=\"x<y>'z\">"
       "&amp;lt; &foo; & &amp &quot;q&quot;</e>",
       "(e v=[a & b] all=[<>&'\"] raw=[x<y>'z] {&lt; &foo; & &amp \"q\"})"},
  };
  for (const auto& [text, tree] : cases) {
    XmlDocument doc;
    ASSERT_EQ(parseExact(doc, text), XmlError::None) << text;
    EXPECT_EQ(dump(doc), tree);
  }
  XmlDocument doc;
  ASSERT_EQ(parseExact(doc, cases[1].first), XmlError::None);
  EXPECT_EQ(doc.rootCount(), 3u);
  EXPECT_EQ(doc.findFirst("c").text(), "t");

  ASSERT_EQ(parseExact(doc, kSkin), XmlError::None);
  const XmlElementHandle root = doc.root(), ok = root.firstChild();
  EXPECT_EQ(ok.parent(), root);
  EXPECT_FALSE(root.parent().exists());
  // The first child of that name, matched exactly.
  EXPECT_EQ(root.child("button"), ok);
  EXPECT_FALSE(root.child("Button").exists());
  EXPECT_EQ(root.childCount(), 3u);

  ASSERT_EQ(parseExact(doc, "<check checked a=\"True\" b=\"true \" c=\"1\" d=\"true\"/>"),
            XmlError::None);
  std::string truths;
  for (const char* name : {"checked", "a", "b", "c", "d", "missing"})
    truths += doc.root().boolAttribute(name) ? '1' : '0';
  EXPECT_EQ(truths, "100010");

  // Other forms, cut text and what passes the caps are rejected, keeping what closed before.
  const std::string_view refused[] = {
      "<?xml version=\"1.0\"?><a/>",  // declaration
      "<!-- note --><a/>",            // comment
      "<!DOCTYPE a><a/>",             // document type
      "<a><![CDATA[x]]></a>",         // CDATA section
      "<a><?pi x?></a>",              // processing instruction inside
      "<a x='1'/>",                   // single quotes
      "<a x=1/>",                     // unquoted value
      "<a x=/>",                      // equals without a value
      "<a x=\"open/>",                // unterminated string
      "<a/ >",                        // slash not followed by '>'
      "<1a/>",                        // name must start with a letter
      "<a-b/>",                       // '-' is no name character
      "<ns:a/>",                      // nor is ':'
      "<_a/>",                        // nor may '_' start one
      "text<a/>",                     // text outside any element
      "<a/>text",                     // ... also after it
      "</a>",                         // close without open
      "<a></a></a>",                  // one close too many
      "< /a>",                        // '<' then '/' is not a close-open
      "<a b=\"1\"c=\"2\"",            // cut inside the tag
  };
  for (std::string_view text : refused) EXPECT_NE(parseError(text), XmlError::None) << text;

  // The closing tag must name the open element.
  EXPECT_EQ(parseExact(doc, "<a><b></a></b>"), XmlError::TagMismatch);
  EXPECT_EQ(doc.errorOffset(), 8u);  // at the name in "</a>"

  const std::string full(kSkin);
  // Cutting anywhere before the last '>' leaves something open or unfinished.
  const size_t lastClose = full.rfind('>');
  for (size_t n = 0; n <= lastClose; ++n)
    EXPECT_NE(parseError(std::string_view(full).substr(0, n)), XmlError::None) << n;
  EXPECT_EQ(parseError(std::string_view(full).substr(0, lastClose + 1)), XmlError::None);

  // A zero byte ends the text and only zeros may follow.
  EXPECT_EQ(parseError("<a/>\0\0\0"s), XmlError::None);
  EXPECT_EQ(parseError("<a/>\0<b/>"s), XmlError::TrailingData);
  EXPECT_EQ(parseError("<a>x\0</a>"s), XmlError::Syntax);
  EXPECT_EQ(parseError("<a v=\"x\0\"/>"s), XmlError::Syntax);
  EXPECT_EQ(parseError(""), XmlError::NoElement);
  EXPECT_EQ(parseError(" \r\n\t"), XmlError::NoElement);
  EXPECT_EQ(parseError("\0\0"s), XmlError::NoElement);

  // Elements before an error stay and a reparse replaces them.
  EXPECT_EQ(parseExact(doc, "<a><b k=\"v\"/><c>text <e>x</e><d"), XmlError::Syntax);
  EXPECT_EQ(doc.root().child("b").attribute("k").value(), "v");
  EXPECT_EQ(doc.root().child("c").text(), "text ");
  // What was closed before the error is complete; what was still open is not.
  EXPECT_TRUE(doc.root().child("b").complete());
  EXPECT_TRUE(doc.root().child("c").child("e").complete());
  EXPECT_FALSE(doc.root().child("c").complete());
  EXPECT_FALSE(doc.root().complete());
  EXPECT_EQ(parseExact(doc, "<z/>"), XmlError::None);
  EXPECT_EQ(dump(doc), "(z {})");

  // Nesting, elements, attributes and size are capped without exhausting the stack.
  const auto nested = [](size_t depth) { return repeat("<a>", depth) + repeat("</a>", depth); };
  EXPECT_EQ(parseError(nested(kMaxXmlDepth)), XmlError::None);
  EXPECT_EQ(parseError(nested(kMaxXmlDepth + 1)), XmlError::TooDeep);
  EXPECT_EQ(parseError(std::string(1000000, '<') + "a"), XmlError::Syntax);
  EXPECT_EQ(parseError(repeat("<a>", 200000)), XmlError::TooDeep);
  EXPECT_EQ(parseError("<r>" + repeat("<e/>", kMaxXmlNodes) + "</r>"), XmlError::TooManyNodes);
  EXPECT_EQ(parseError("<r" + repeat(" a", kMaxXmlNodes) + "/>"), XmlError::TooManyNodes);

  std::string big = "<r>" + std::string(kMaxXmlBytes, 'x') + "</r>";
  EXPECT_EQ(parseError(big), XmlError::TooLarge);
}

TEST(XmlLookup, MissingElementsReadEmptyAndRefuseWritesSetAttributeReplacesOrAppends) {
  XmlDocument doc;
  ASSERT_TRUE(doc.parse("<library><other path=\"x\"/></library>"));
  XmlElementHandle dirroot = doc.root().child("dirroot");
  EXPECT_FALSE(dirroot.exists());
  EXPECT_FALSE(dirroot.attribute("path").present());
  EXPECT_EQ(dirroot.attribute("path").value(), "");
  EXPECT_EQ(dirroot.child("a").child("b").firstChild().nextSibling().parent().text(), "");
  EXPECT_EQ(dirroot.childCount(), 0u);
  EXPECT_TRUE(doc.root().child("other").attribute("path").present());

  XmlDocument empty;
  EXPECT_EQ(empty.root().child("x").attribute("y").value(), "");
  EXPECT_FALSE(empty.findFirst("x").exists());

  // The shared empty element refuses writes.
  ASSERT_TRUE(doc.parse("<a/>"));
  XmlElementHandle missing = doc.root().child("missing");
  EXPECT_FALSE(missing.setAttribute("path", "C:\\x"));
  EXPECT_FALSE(missing.setText("t"));
  EXPECT_FALSE(missing.appendChild("c").exists());
  // A later, unrelated miss must still read as empty.
  XmlElementHandle other = doc.root().child("elsewhere");
  EXPECT_FALSE(other.attribute("path").present());
  EXPECT_EQ(other.text(), "");
  EXPECT_EQ(other.childCount(), 0u);

  // Attributes are replaced in place or appended; bad names and zeros refused.
  ASSERT_TRUE(doc.parse("<a x=\"1\" y=\"2\"/>"));
  XmlElementHandle a = doc.root();
  EXPECT_TRUE(a.setAttribute("x", "10"));
  EXPECT_TRUE(a.setAttribute("z", "3"));
  EXPECT_EQ(dump(doc), "(a x=[10] y=[2] z=[3] {})");
  EXPECT_FALSE(a.setAttribute("bad-name", "v"));
  EXPECT_FALSE(a.setAttribute("", "v"));
  EXPECT_FALSE(a.setAttribute("v", "with\0zero"s));
  EXPECT_FALSE(a.setText("with\0zero"s));
  EXPECT_FALSE(a.appendChild("9lives").exists());
  EXPECT_EQ(dump(doc), "(a x=[10] y=[2] z=[3] {})");

  // Built trees stop at the depth cap.
  XmlDocument built;
  XmlElementHandle e = built.appendRoot("a");
  for (size_t depth = 1; depth < kMaxXmlDepth; ++depth) e = e.appendChild("a");
  ASSERT_TRUE(e.exists());
  EXPECT_FALSE(e.appendChild("a").exists());
  XmlDocument again;
  EXPECT_TRUE(again.parse(built.serialise()));
}

TEST(XmlSave, TextAndFilesReadBackAsTheSameTreeKeepingTheMarkAndFailuresChangeNothing) {
  XmlDocument doc;
  XmlElementHandle root = doc.appendRoot("config");
  root.setAttribute("title", "a & b <\"c\"> 'd'");
  root.setAttribute("multi", "line\r\none\ttab");
  XmlElementHandle item = root.appendChild("item");
  item.setText("  <padded & quoted \"text\">  ");
  item.appendChild("empty");
  XmlElementHandle mixed = root.appendChild("mixed");
  mixed.setText("before");
  mixed.appendChild("inner").appendChild("leaf").setText("x");
  mixed.appendChild("tail.2").setAttribute("flag", "true");
  doc.appendRoot("second").setText("\xC3\xA9t\xC3\xA9");  // UTF-8 stays bytes

  const std::string text = doc.serialise();
  XmlDocument back;
  ASSERT_EQ(parseExact(back, text), XmlError::None) << text;
  EXPECT_EQ(dump(back), dump(doc));
  EXPECT_EQ(back.serialise(), text);

  // One element alone reads back as that subtree.
  XmlDocument part;
  ASSERT_EQ(parseExact(part, mixed.serialise()), XmlError::None);
  EXPECT_EQ(part.root().child("inner").child("leaf").text(), "x");
  EXPECT_EQ(part.root().child("tail.2").attribute("flag").value(), "true");
  EXPECT_EQ(XmlElementHandle().serialise(), "");

  // An ampersand value is written back as an entity.
  ASSERT_TRUE(doc.parse("<e v=\"a &amp; b\" checked/>"));
  const std::string written = doc.serialise();
  EXPECT_NE(written.find("v=\"a &amp; b\""), std::string::npos) << written;
  EXPECT_NE(written.find("checked=\"true\""), std::string::npos) << written;

  const std::string plain = tempPath("plain.xml");
  const std::string marked = tempPath("marked.xml");
  writeFile(plain, std::string(kSkin));
  writeFile(marked, "\xEF\xBB\xBF" + std::string(kSkin));

  XmlDocument a, b;
  ASSERT_TRUE(a.load(plain));
  ASSERT_TRUE(b.load(marked));
  EXPECT_FALSE(a.hasByteOrderMark());
  EXPECT_TRUE(b.hasByteOrderMark());
  EXPECT_EQ(dump(a), dump(b));

  b.root().setAttribute("width", "800");
  ASSERT_TRUE(b.save());
  ASSERT_TRUE(a.save());
  EXPECT_EQ(readFile(marked).substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(readFile(plain)[0], '\xEF');

  XmlDocument c;
  ASSERT_TRUE(c.load(marked));
  EXPECT_EQ(dump(c), dump(b));  // with the new width
  std::remove(plain.c_str());
  std::remove(marked.c_str());

  // Saving leaves nothing of a longer old file.
  const std::string path = tempPath("shrink.xml");
  writeFile(path, "<old>" + std::string(10000, 'x') + "</old>");
  doc.appendRoot("new");
  doc.setPath(path);
  ASSERT_TRUE(doc.save());
  EXPECT_EQ(readFile(path), doc.serialise());
  std::remove(path.c_str());

  // File failures are reported and change nothing.
  ASSERT_TRUE(doc.parse("<keep/>"));
  doc.setPath("kept.xml");
  EXPECT_FALSE(doc.load(tempPath("does_not_exist.xml")));
  EXPECT_EQ(doc.lastError(), XmlError::CannotOpen);
  EXPECT_EQ(dump(doc), "(keep {})");
  EXPECT_EQ(doc.path(), "kept.xml");

  const std::string big = tempPath("big.xml");
  writeFile(big, "<r>" + std::string(kMaxXmlBytes, ' ') + "</r>");
  EXPECT_FALSE(doc.load(big));
  EXPECT_EQ(doc.lastError(), XmlError::TooLarge);
  EXPECT_EQ(dump(doc), "(keep {})");
  std::remove(big.c_str());

  doc.setPath(tempPath("no_such_folder/x.xml"));
  EXPECT_FALSE(doc.save());
  EXPECT_EQ(doc.lastError(), XmlError::CannotWrite);
  doc.setPath("");
  EXPECT_FALSE(doc.save());
  EXPECT_EQ(doc.lastError(), XmlError::NoPath);

  // Bad content fails the load but keeps the path and the mark.
  const std::string comment = tempPath("comment.xml");
  writeFile(comment, "\xEF\xBB\xBF<!-- c --><a/>");
  XmlDocument bad;
  EXPECT_FALSE(bad.load(comment));
  EXPECT_EQ(bad.lastError(), XmlError::Syntax);
  EXPECT_EQ(bad.errorOffset(), 1u);  // counted after the mark
  EXPECT_EQ(bad.path(), comment);
  EXPECT_TRUE(bad.hasByteOrderMark());
  std::remove(comment.c_str());
}

#ifndef _WIN32
// A disk that fills up half-way through the write: the old file stays whole
// and no half-written file is left beside it.
TEST(XmlSave, AWriteThatFailsHalfWayLeavesTheOldFileWhole) {
  const std::string path = tempPath("full_disk.xml");
  const std::string old = "<old/>";
  writeFile(path, old);
  XmlDocument doc;
  doc.appendRoot("new").setText(std::string(100000, 'x'));
  doc.setPath(path);

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = doc.save();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);

  EXPECT_FALSE(written);
  EXPECT_EQ(doc.lastError(), XmlError::CannotWrite);
  EXPECT_EQ(readFile(path), old);
  size_t besides = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testing::TempDir()))
    besides += entry.path().filename().string().starts_with("scribly_xml_full_disk");
  EXPECT_EQ(besides, 1u);
  std::remove(path.c_str());
}
#endif

TEST(LanguageTexts, CopiesAreCutOnCharacterBoundariesAndTerminated) {
  const std::string chinese = repeat("\xE6\xB1\x89", 100);  // three bytes each
  LanguageTexts texts;
  ASSERT_TRUE(texts.loadText("<language><text key=\"long\">" + chinese +
                             "</text><text key=\"bad\">a\xFF"
                             "b\xE6\xB1</text>"
                             "<text key=\"long\">second</text></language>"));

  char buffer[kShortTextBytes];
  std::memset(buffer, 0xCC, sizeof buffer);
  size_t size = sizeof buffer;
  ASSERT_TRUE(texts.copyText("long", buffer, &size));
  EXPECT_EQ(size, 126u);  // 42 whole characters; a 43rd would need 129 bytes with the zero
  EXPECT_EQ(std::string(buffer), chinese.substr(0, 126));

  size = sizeof buffer;
  ASSERT_TRUE(texts.copyText("bad", buffer, &size));
  EXPECT_EQ(std::string(buffer),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\xEF\xBF\xBD");

  size = 4;
  EXPECT_FALSE(texts.copyText("absent", buffer, &size));
  EXPECT_EQ(std::string(buffer), "abs");
  size = 0;
  EXPECT_FALSE(texts.copyText("long", buffer, &size));

  // A file that is not a language file leaves the texts as they were.
  EXPECT_FALSE(texts.loadText("<Scribly/>"));
  EXPECT_TRUE(texts.contains("long"));
}

TEST(Configuration, LibraryRootRoundTripKeepsTheMarkAndCountsOnlyWhenEnabledPresentAndShort) {
  const std::string path = tempPath("roundtrip.xml");
  const std::string original =
      "\xEF\xBB\xBF<Scribly>  <dirroot  enable=\"true\" path=\"C:\\Lessons\"/></Scribly>";
  writeFile(path, original);
  EXPECT_EQ(readLibraryRoot(path), "C:\\Lessons");

  // The same folder again writes nothing: the file keeps its own layout.
  EXPECT_EQ(writeLibraryRoot(path, "C:\\Lessons"), ConfigWrite::Unchanged);
  EXPECT_EQ(readFile(path), original);

  EXPECT_EQ(writeLibraryRoot(path, "D:\\Shared & Co"), ConfigWrite::Written);
  EXPECT_EQ(readFile(path).substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(readLibraryRoot(path), "D:\\Shared & Co");
  EXPECT_EQ(readConfigItem(path, "dirroot"), "D:\\Shared & Co");

  writeFile(path, "<Scribly><dirroot enable=\"TRUE\" path=\"C:\\x\"/></Scribly>");
  EXPECT_EQ(readLibraryRoot(path), "");
  EXPECT_FALSE(libraryEnabled(path));
  // On without a folder yet: a folder chosen later shows at once.
  writeFile(path, "<Scribly><dirroot enable=\"true\" path=\"\"/></Scribly>");
  EXPECT_TRUE(libraryEnabled(path));
  EXPECT_EQ(readLibraryRoot(path), "");
  writeFile(path, "<Other><dirroot enable=\"true\" path=\"C:\\x\"/></Other>");
  EXPECT_EQ(readLibraryRoot(path), "");
  EXPECT_EQ(writeLibraryRoot(path, "C:\\y"), ConfigWrite::Failed);
  // 259 characters and the zero fill the 260-character buffer; one more does not fit.
  const auto withRoot = [&](size_t letters) {
    writeFile(path, "<Scribly><dirroot enable=\"true\" path=\"C:\\" + std::string(letters, 'a') +
                        "\"/></Scribly>");
    return readLibraryRoot(path).size();
  };
  EXPECT_EQ(withRoot(256), 259u);
  EXPECT_EQ(withRoot(257), 0u);

  const std::string missing = tempPath("missing.xml");
  std::remove(missing.c_str());
  EXPECT_EQ(readLibraryRoot(missing), "");
  EXPECT_EQ(writeLibraryRoot(missing, "C:\\y"), ConfigWrite::Failed);
  EXPECT_TRUE(readFile(missing).empty());
}

}  // namespace
}  // namespace scribly
