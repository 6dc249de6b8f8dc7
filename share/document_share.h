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

// The file name of a path (after its last "\" or "/"), extension included.
std::string_view documentFileName(std::string_view path);
// The name up to its last "." (all of it without one) and from there on.
std::string_view documentBase(std::string_view name);
std::string_view documentExtension(std::string_view name);
// ".bmp", ".jpg", ".jpeg" and ".gif" in any case: such a document is never
// printed, it becomes the current page's background.
bool isPictureDocument(std::string_view name);
// Text files always print with text quality.
int32_t printQualityFor(std::string_view name, int32_t chosen);
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
// The name of the k-th page picture (k from 1): base + ext, then base(k) + ext.
std::string pagePictureName(std::string_view base, uint32_t k, std::string_view extension);
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
// output folder, in listing order, named after the document (see
// pagePictureName) with that file's own extension, lower-cased.
std::vector<std::string> importPictureList(std::string_view name,
                                           const std::vector<FolderEntry>& listing);

// "add share doc", "add page" and "set print" as 1, 2 and 3; 0 for others.
uint32_t pageOptionOf(std::string_view element);

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
