#include "share/document_share.h"

#include <algorithm>
#include <utility>

#include "base/ascii.h"
#include "docprint/print_job.h"
#include "share/tree_items.h"

namespace scribly {

std::string fitBuffer(std::string text, size_t bytes) {
  if (bytes > 0 && text.size() >= bytes) text.resize(bytes - 1);
  return text;
}

std::string_view documentBase(std::string_view name) {
  return name.substr(0, std::min(name.rfind('.'), name.size()));
}

int32_t printQualityFor(std::string_view name, int32_t chosen) {
  return documentKind(name) == DocumentKind::Text ? kQualityText : chosen;
}

std::string documentChooserFilter() {
  constexpr std::pair<DocumentKind, std::string_view> kDescriptions[] = {
      {DocumentKind::Office, "Office documents"},
      {DocumentKind::Pdf, "PDF documents"},
      {DocumentKind::Text, "Text files"},
      {DocumentKind::Picture, "Picture Files"}};
  std::string filter;
  const auto add = [&filter](std::string_view description, const std::string& patterns) {
    filter.append(description).append("(").append(patterns).append(")").push_back('\0');
    filter.append(patterns).push_back('\0');
  };
  for (const auto& [kind, description] : kDescriptions) {
    std::string patterns;
    for (const DocumentType& type : kDocumentTypes) {
      if (type.kind != kind) continue;
      if (!patterns.empty()) patterns += ';';
      patterns.append("*").append(type.extension);
    }
    if (!patterns.empty()) add(description, patterns);
  }
  add("All Files", "*.*");
  filter.push_back('\0');
  return filter;
}

namespace {

bool isPlainNameByte(unsigned char c) {
  return c >= 0x20 && c < 0x7F &&
         std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) == std::string_view::npos;
}

// Names Windows takes for devices in any folder, with or without an extension.
bool isDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, std::min(name.find('.'), name.size()));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  for (std::string_view device : {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"})
    if (equalsIgnoringCase(stem, device)) return true;
  return stem.size() == 4 && stem[3] >= '0' && stem[3] <= '9' &&
         (equalsIgnoringCase(stem.substr(0, 3), "com") ||
          equalsIgnoringCase(stem.substr(0, 3), "lpt"));
}

}  // namespace

std::string shareOutputFolder(std::string_view temporaryRoot, std::string_view name,
                              unsigned attempt) {
  std::string folder;
  for (unsigned char c : documentBase(name).substr(0, kMaxShareFolderName))
    folder += isPlainNameByte(c) ? static_cast<char>(c) : '_';
  // Windows drops trailing dots and spaces: "a." would be "a", ".." the parent.
  const auto trim = [&folder] {
    while (!folder.empty() && (folder.back() == '.' || folder.back() == ' ')) folder.pop_back();
  };
  trim();
  if (folder.empty()) folder = "document";
  if (isDeviceName(folder)) {
    folder.insert(0, 1, '_');
    if (folder.size() > kMaxShareFolderName) folder.resize(kMaxShareFolderName);
    trim();
  }
  if (attempt > 0) folder += "-" + std::to_string(attempt);
  return std::string(temporaryRoot) + folder + '\\';
}

std::string documentPageLabel(std::string_view name, uint32_t number) {
  return std::string(name) + "/" + std::to_string(number);
}

std::optional<DocumentPageName> parseDocumentPageLabel(std::string_view label) {
  const size_t slash = label.rfind('/');
  if (slash == std::string_view::npos || slash == 0) return std::nullopt;
  const std::string_view number = label.substr(slash + 1);
  if (number.empty() || number.size() > 9 || number[0] == '0' ||
      number.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  return DocumentPageName{label.substr(0, slash), number};
}

std::vector<std::string> importPictureList(std::string_view name,
                                           const std::vector<FolderEntry>& listing) {
  std::vector<std::string> pictures;
  const std::string_view base = documentBase(name);
  for (const FolderEntry& entry : listing) {
    if (entry.directory || entry.hidden) continue;
    // An entry without a "." has no extension, so it is no picture either.
    const size_t dot = entry.name.rfind('.');
    if (dot == std::string::npos) continue;
    const std::string extension = lowerAscii(std::string_view(entry.name).substr(dot));
    if (documentKind(extension) != DocumentKind::Picture) continue;
    pictures.push_back(pageFileName(base, static_cast<uint32_t>(pictures.size() + 1), extension));
  }
  return pictures;
}

ContentsCommand pageOptionOf(std::string_view element) {
  constexpr std::pair<std::string_view, ContentsCommand> kOptions[] = {
      {"add share doc", kShareDocument}, {"add page", kAddPage}, {"set print", kSetUpPrinter}};
  for (const auto& [name, value] : kOptions)
    if (equalsIgnoringCase(name, element)) return value;
  return kNoContentsCommand;
}

ContentsMenu contentsMenuFor(ContentsItemKind kind, bool isCurrentPage) {
  switch (kind) {
    case ContentsItemKind::Document:
      return {true, false, true, false};
    case ContentsItemKind::UserPage:
      return {true, true, true, isCurrentPage};
    case ContentsItemKind::SystemOrDocumentPage:
      if (isCurrentPage) return {true, false, false, true};
      return {};
    case ContentsItemKind::SystemRoot:
    case ContentsItemKind::UserRoot:
      return {};
  }
  return {};
}

int findDocumentItem(const std::vector<std::string>& itemMarkups, std::string_view name) {
  for (size_t i = 0; i < itemMarkups.size(); ++i)
    if (treeItemName(itemMarkups[i]) == name) return static_cast<int>(i);
  return -1;
}

}  // namespace scribly
