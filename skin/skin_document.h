#pragma once
// The skin document: every window, menu and control description gathered from
// a skin file and the files it includes, and the scripts they name handed to
// the script engine in file order. Skin files are untrusted input, so the
// loading is capped in depth, file count and bytes.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/xml_document.h"

namespace scribly {

// Where the loader sends the scripts it meets; the skin bridge implements it
// over the script engine.
class SkinScripts {
 public:
  virtual ~SkinScripts() = default;
  // A script file that exists, by the path it was found under.
  virtual void loadScriptFile(const std::string& path) = 0;
  // The text of a "script" element without "src".
  virtual void runScriptSource(std::string_view source) = 0;
};

struct SkinLoadLimits {
  size_t maxIncludeDepth = 8;           // the top file is depth 0
  size_t maxFiles = 64;                 // skin and script files together
  size_t maxBytes = 16 * 1024 * 1024;   // all of them together
  size_t maxScriptBytes = 1024 * 1024;  // one script file
};

class SkinDocument {
 public:
  explicit SkinDocument(SkinLoadLimits limits = {}) : limits_(limits) {}

  // Loads a skin file: its "include" elements load further skin files, its
  // "script" elements go to `scripts` (may be null), and the children of its
  // "skins" elements become descriptions. A file named by "src" is looked for
  // beside the file that names it or below (fileInside), nowhere else, so
  // everything loaded lies in this file's folder. False when this file cannot
  // be read or parsed; an include that fails adds nothing and is noted in
  // problems().
  bool loadFile(const std::string& path, SkinScripts* scripts);

  // The same for skin text already in memory; `path` is where its relative
  // "src" names are looked for.
  bool loadText(std::string_view text, const std::string& path, SkinScripts* scripts);

  // The first description whose tag equals `type` in any case and whose
  // "name" is exactly `name`; the empty element when there is none.
  XmlElementHandle findWindow(std::string_view type, std::string_view name) const;

  // The path of the skin file a description was read from; empty for an
  // element that is not one of descriptions().
  std::string fileOf(XmlElementHandle description) const;

  // Every description in the order loaded.
  const std::vector<XmlElementHandle>& descriptions() const { return descriptions_; }
  // What was skipped and why, for the engine's log.
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  bool loadResolved(const std::string& path, size_t depth, SkinScripts* scripts);
  bool parseAndWalk(std::string_view text, const std::string& path, size_t depth,
                    SkinScripts* scripts);
  // Counts the file against the limits; false when it cannot be read whole.
  bool readCapped(const std::string& path, size_t cap, std::string& out);
  // Reads the file a "src" names inside the folder of `from`; returns the
  // path it was found under, or empty.
  std::string readNamed(const std::string& from, std::string_view src, size_t cap,
                        std::string& bytes);
  void note(std::string problem);

  SkinLoadLimits limits_;
  size_t files_ = 0;
  size_t bytes_ = 0;
  std::vector<XmlDocument> documents_;  // own the elements the handles point at
  std::vector<XmlElementHandle> descriptions_;
  std::vector<size_t> descriptionFiles_;  // index into documents_, per description
  std::vector<std::string> problems_;
};

}  // namespace scribly
