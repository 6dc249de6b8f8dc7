#include "skin/skin_document.h"

#include <algorithm>

#include "base/ascii.h"
#include "base/file_bytes.h"
#include "base/relative_path.h"

namespace scribly {
namespace {

constexpr size_t kMaxProblems = 64;
constexpr size_t kSkinFileCap = kMaxXmlBytes + sizeof kUtf8Bom;

// Skin paths come from Windows (backslashes) and from tests on other systems
// (slashes).
std::string_view folderOfFile(std::string_view path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut + 1);
}

std::string_view withoutByteOrderMark(std::string_view text) {
  const std::string_view bom(reinterpret_cast<const char*>(kUtf8Bom), sizeof kUtf8Bom);
  if (text.substr(0, bom.size()) == bom) text.remove_prefix(bom.size());
  return text;
}

}  // namespace

bool SkinDocument::loadFile(const std::string& path, SkinScripts* scripts) {
  return loadResolved(path, 0, scripts);
}

bool SkinDocument::loadText(std::string_view text, const std::string& path, SkinScripts* scripts) {
  return parseAndWalk(text, path, 0, scripts);
}

XmlElementHandle SkinDocument::findWindow(std::string_view type, std::string_view name) const {
  for (XmlElementHandle e : descriptions_)
    if (equalsIgnoringCase(e.name(), type) && e.attribute("name").value() == name) return e;
  return {};
}

std::string SkinDocument::fileOf(XmlElementHandle description) const {
  for (size_t i = 0; i < descriptions_.size(); ++i)
    if (descriptions_[i] == description) return documents_[descriptionFiles_[i]].path();
  return {};
}

bool SkinDocument::loadResolved(const std::string& path, size_t depth, SkinScripts* scripts) {
  std::string text;
  if (!readCapped(path, kSkinFileCap, text)) {
    note("cannot read skin file " + path);
    return false;
  }
  return parseAndWalk(withoutByteOrderMark(text), path, depth, scripts);
}

bool SkinDocument::parseAndWalk(std::string_view text, const std::string& path, size_t depth,
                                SkinScripts* scripts) {
  XmlDocument doc;
  if (!doc.parse(text)) {
    note("skin file " + path + " does not parse at byte " + std::to_string(doc.errorOffset()));
    return false;
  }
  doc.setPath(path);
  // Elements live on the heap, so handles survive the document's moves.
  documents_.push_back(std::move(doc));
  const size_t self = documents_.size() - 1;  // includes below add more
  for (XmlElementHandle root = documents_.back().root(); root; root = root.nextSibling()) {
    for (XmlElementHandle item = root.firstChild(); item; item = item.nextSibling()) {
      const std::string_view src = item.attribute("src").value();
      std::string bytes;
      if (item.name() == "include") {
        if (depth >= limits_.maxIncludeDepth) {
          note("include of " + std::string(src) + " nested too deep in " + path);
          continue;
        }
        const std::string found = readNamed(path, src, kSkinFileCap, bytes);
        if (!found.empty()) parseAndWalk(withoutByteOrderMark(bytes), found, depth + 1, scripts);
      } else if (item.name() == "script") {
        if (!item.attribute("src").present()) {
          if (scripts && !item.text().empty()) scripts->runScriptSource(item.text());
          continue;
        }
        const std::string found = readNamed(path, src, limits_.maxScriptBytes, bytes);
        if (!found.empty() && scripts) scripts->loadScriptFile(found);
      } else if (item.name() == "skins") {
        for (XmlElementHandle d = item.firstChild(); d; d = d.nextSibling()) {
          descriptions_.push_back(d);
          descriptionFiles_.push_back(self);
        }
      }
    }
  }
  return true;
}

bool SkinDocument::readCapped(const std::string& path, size_t cap, std::string& out) {
  if (files_ >= limits_.maxFiles) return false;
  FileReadResult file = readFileBytes(path, std::min(cap, limits_.maxBytes - bytes_));
  if (!file.ok()) return false;
  ++files_;
  bytes_ += file.bytes.size();
  out.assign(file.bytes.begin(), file.bytes.end());
  return true;
}

std::string SkinDocument::readNamed(const std::string& from, std::string_view src, size_t cap,
                                    std::string& bytes) {
  if (src.empty()) {
    note("an include or script in " + from + " names no file");
    return {};
  }
  // Only below the naming file's folder, which lies in the skin's folder.
  const std::optional<std::string> path = fileInside(folderOfFile(from), src);
  if (!path) {
    note(std::string(src) + " named in " + from + " is not a file of the skin's folder");
    return {};
  }
  if (readCapped(*path, cap, bytes)) return *path;
  note("cannot read " + std::string(src) + " named in " + from);
  return {};
}

void SkinDocument::note(std::string problem) {
  if (problems_.size() < kMaxProblems) problems_.push_back(std::move(problem));
}

}  // namespace scribly
