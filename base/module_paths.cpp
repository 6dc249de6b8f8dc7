#include "base/module_paths.h"

namespace scribly {

std::string folderOf(const std::string& filePath) {
  size_t cut = filePath.rfind('\\');
  if (cut == std::string::npos) return {};
  return filePath.substr(0, cut);
}

std::string installFolderOf(const std::string& moduleFolder) {
  std::string folder = moduleFolder;
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folderOf(folder);
}

std::string joinPath(const std::string& folder, const std::string& relative) {
  size_t skip = 0;
  while (skip < relative.size() && relative[skip] == '\\') ++skip;
  std::string out = folder;
  if (!out.empty() && out.back() != '\\') out += '\\';
  out.append(relative, skip, std::string::npos);
  return out;
}

std::string backgroundFolder(const std::string& skinFolder) {
  return joinPath(skinFolder, "Scribly\\Back\\");
}

}  // namespace scribly
