#pragma once
// Sharing a document as pages: the names, folders and labels the import
// derives from the document's file name, the list of page pictures the
// printer left, and what the contents tree's menu offers on an item.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scribly {

// Print quality: 2 favours pictures (the default), 3 favours text.
inline constexpr int32_t kQualityPicture = 2;
inline constexpr int32_t kQualityText = 3;

// The buffers the printer, the share dialog and the configuration keep
// paths and names in, terminator included.
inline constexpr size_t kSharePathBytes = 260;
inline constexpr size_t kShareNameBytes = 128;
// `text` as a buffer of `bytes` keeps it: at most bytes - 1 of it.
std::string fitBuffer(std::string text, size_t bytes);

// The name up to its last "." (all of it without one). Unlike the printer's
// baseNameOf, it takes a name, never a path: a name in the system code page
// may hold a double-byte character whose second byte is "\".
std::string_view documentBase(std::string_view name);
// Text files always print with text quality.
int32_t printQualityFor(std::string_view name, int32_t chosen);
// The share dialog's filter: a description and its patterns for each kind
// of document the printer takes and for pictures, in the order of
// kDocumentTypes, then every file. Each string ends in a NUL and the list in
// a second one, as the open dialog reads it (UTF-8).
std::string documentChooserFilter();
// The job's folder: the temporary root (ending in "\"), one folder name made
// from the document's base name, and a final "\"; `attempt` n > 0 adds
// "-n", for when that folder exists already. Whatever the name (".doc",
// "...doc", "con.txt", double-byte characters whose second byte is "\"),
// the folder is always one level strictly below the root: its name is
// never empty, "." or "..", nor a device name, and holds only printable
// ASCII other than \ / : * ? " < > | (every other byte becomes "_"), ends
// in neither "." nor " ", and is at most kMaxShareFolderName bytes before
// the suffix.
inline constexpr size_t kMaxShareFolderName = 64;
std::string shareOutputFolder(std::string_view temporaryRoot, std::string_view name,
                              unsigned attempt = 0);
// "report.doc/3".
std::string documentPageLabel(std::string_view name, uint32_t number);
// A page label split back into the document's name and the page number's
// digits; nullopt for a name that is no such label.
struct DocumentPageName {
  std::string_view document;
  std::string_view number;
};
std::optional<DocumentPageName> parseDocumentPageLabel(std::string_view label);

struct FolderEntry {
  std::string name;  // UTF-8
  bool directory = false;
  bool hidden = false;
};
// The pictures to import, in page order: every visible picture file of the
// output folder, in listing order, named after the document as the printer
// names its pages (pageFileName) with that file's own extension, lower-cased.
std::vector<std::string> importPictureList(std::string_view name,
                                           const std::vector<FolderEntry>& listing);

// What the elements "add share doc", "add page" and "set print" ask of the
// contents panel.
enum ContentsCommand : uint32_t {
  kNoContentsCommand = 0,
  kShareDocument = 1,
  kAddPage = 2,
  kSetUpPrinter = 3
};
ContentsCommand pageOptionOf(std::string_view element);

// The contents tree's items as its menu tells them apart.
enum class ContentsItemKind { SystemRoot, UserRoot, Document, UserPage, SystemOrDocumentPage };
struct ContentsMenu {
  bool open = false;  // no menu at all when false
  bool rename = false;
  bool remove = false;
  bool refresh = false;
};
ContentsMenu contentsMenuFor(ContentsItemKind kind, bool isCurrentPage);

// The first of the top-level item texts whose name (see treeItemName)
// equals `name` byte for byte; -1 when none does.
int findDocumentItem(const std::vector<std::string>& itemMarkups, std::string_view name);

}  // namespace scribly
