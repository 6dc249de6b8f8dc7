#pragma once
// Folder computations shared by everything that finds files beside the module.
#include <string>

namespace scribly {

// A file's folder: the path cut at its last backslash, without the backslash.
// A path without a backslash has no folder.
std::string folderOf(const std::string& filePath);

// The install folder: the module folder's parent.
std::string installFolderOf(const std::string& moduleFolder);

// Joins a folder and a relative part with exactly one backslash between them,
// whether or not the folder already ends with one.
std::string joinPath(const std::string& folder, const std::string& relative);

// Where the background templates live below the host's skin folder.
std::string backgroundFolder(const std::string& skinFolder);

}  // namespace scribly
