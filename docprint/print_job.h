#pragma once
// What a print job decides before anything runs: which way a document goes,
// the names of the page pictures it leaves, the resolution, the converters'
// argument lists and how long they may take.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scribly {

enum class DocumentKind {
  Text,     // laid out and drawn page by page
  Pdf,      // rasterised
  Office,   // converted to PDF first
  Picture,  // never printed: a share makes it the page's background
  Refused   // everything else
};

// One kind of file a share takes, by its extension.
struct DocumentType {
  std::string_view extension;  // lower case, with its "."
  DocumentKind kind;
  // OOXML and OpenDocument files, which are ZIP packages.
  bool zipPackage = false;
};

// Every file a share takes, in the order a chooser offers them: what the
// printer prints and the pictures a share sets as backgrounds. The library
// lists these and the share dialog offers them.
inline constexpr DocumentType kDocumentTypes[] = {
    {".doc", DocumentKind::Office},       {".docx", DocumentKind::Office, true},
    {".ppt", DocumentKind::Office},       {".pptx", DocumentKind::Office, true},
    {".xls", DocumentKind::Office},       {".xlsx", DocumentKind::Office, true},
    {".rtf", DocumentKind::Office},       {".odt", DocumentKind::Office, true},
    {".odp", DocumentKind::Office, true}, {".ods", DocumentKind::Office, true},
    {".pdf", DocumentKind::Pdf},          {".txt", DocumentKind::Text},
    {".bmp", DocumentKind::Picture},      {".jpg", DocumentKind::Picture},
    {".jpeg", DocumentKind::Picture},     {".gif", DocumentKind::Picture},
};

// By the extension after the last ".", in any case.
DocumentKind documentKind(std::string_view path);
// Whether the printer makes pages of such a document.
bool printsAsPages(DocumentKind kind);

// Whether a document's first bytes are of the container its extension
// promises: OOXML and OpenDocument files are ZIP packages, a PDF has
// "%PDF-" within its first kContainerProbeBytes. A converter given
// anything else reads it as some other format and makes pages of junk.
// Other kinds are not checked.
inline constexpr size_t kContainerProbeBytes = 1024;
bool hasDocumentContainer(std::string_view path, std::string_view firstBytes);

// The file name without its folder (after the last "\" or "/").
std::string_view fileNameOf(std::string_view path);
// The file name up to its last "." ("a.b.doc" -> "a.b"); the whole name when
// it has none.
std::string_view baseNameOf(std::string_view path);

// "base.jpg" for page 1, "base(n).jpg" for page n >= 2.
std::string pageFileName(std::string_view base, uint32_t page, std::string_view extension);

// Pixels per inch for a quality: 3 (text) 150, anything else 96.
int dotsPerInch(int32_t quality);
// The page is 185.5 mm x 244.8 mm; its size in pixels at a resolution.
int pagePixels(int tenthsOfMillimetre, int dpi);
inline constexpr int kPageWidthTenthsMm = 1855;
inline constexpr int kPageHeightTenthsMm = 2448;

// How long a converter may run on a document of `bytes`: a minute plus ten
// seconds per MiB started, at most ten minutes.
uint32_t conversionSeconds(uint64_t bytes);

// LibreOffice headless: the document as PDF into `outFolder`, with its own
// profile folder (a file:// URL) so that no other run's profile interferes.
std::vector<std::string> officeToPdfArguments(std::string_view program, std::string_view profileUrl,
                                              std::string_view outFolder,
                                              std::string_view document);
// A document prints at most this many pages; a PDF's later pages are left
// out (a text beyond it is refused, see kMaxTextPages).
inline constexpr uint32_t kMaxPrintedPages = 1000;
// A rasterised page is at most this many pixels wide and high: a page drawn
// larger at the chosen resolution keeps its top left part. Pages of the
// usual sizes are far below it at either resolution.
inline constexpr int kMaxPagePixels = 4096;

// pdftoppm: pages 1 to kMaxPrintedPages as "<prefix>-<n>.jpg" at `dpi`,
// each within kMaxPagePixels square.
std::vector<std::string> pdfToJpegArguments(std::string_view program, int dpi, std::string_view pdf,
                                            std::string_view prefix);

// The settings LibreOffice's fresh profile starts with (the file
// "user/registrymodifications.xcu" in it): links are never updated on
// loading, pictures and other content a document links to are not fetched,
// and no macro runs. A document is shown as it is, not with what its
// links name.
std::string officeProfileSettings();
// The page number of a picture the rasteriser wrote ("page-07.jpg" -> 7 for
// the prefix "page"); nullopt for any other name.
std::optional<uint32_t> rasterPageNumber(std::string_view fileName, std::string_view prefix);

// A Windows command line whose arguments the C runtime (and Wine, for a Linux
// program) splits back into exactly `arguments`: each quoted when needed, with
// backslashes before a quote doubled.
std::string windowsCommandLine(const std::vector<std::string>& arguments);

// A file URL for a Unix or Windows path ("/tmp/a b" -> "file:///tmp/a%20b").
std::string fileUrl(std::string_view path);

}  // namespace scribly
