#pragma once
// The folders this program makes for itself and removes again: one deletion
// for every folder tree, folders only the user can open, and the folder of
// one plug-in instance with its backgrounds, print jobs and captures.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "win/handles.h"

namespace scribly {

// Removes `folder` with everything in it. A directory link or junction,
// inside or `folder` itself, is removed as a link: what it points to stays.
// Drive paths take the long-path prefix, so deep trees go too. True when the
// folder is gone.
bool deleteFolderTree(std::wstring_view folder);
// The same for a path in the system code page, as the 8-bit calls take it.
bool deleteFolderTree(std::string_view folder);

// Creates `folder` readable and writable by the current user alone (a
// protected access list with one entry, which what is made inside inherits).
// False when it exists already or cannot be made.
bool createPrivateFolder(const std::wstring& folder);

// A folder of one plug-in instance, below a per-user parent. It is removed
// with everything in it when the object goes; one that an instance of an
// ended process left behind is removed when the next instance starts. An
// instance is alive while its lock file beside the folder is open.
class InstanceFolder {
 public:
  // Below `parent` (by default "Scribly" in the user's local application
  // data, else in the temporary folder), made private when missing. Null
  // when no folder could be made.
  static std::unique_ptr<InstanceFolder> create(const std::wstring& parent = {});
  ~InstanceFolder();
  InstanceFolder(const InstanceFolder&) = delete;
  InstanceFolder& operator=(const InstanceFolder&) = delete;

  // Without a final backslash.
  const std::wstring& path() const { return path_; }
  // The folder `name` inside, made private when missing (the instance
  // folder itself for an empty name); empty when it cannot be made.
  std::wstring subfolder(std::wstring_view name) const;
  // The same in the system code page ending in "\", for the calls that take
  // 8-bit paths; empty when the code page cannot name it.
  std::string subfolderForCodePage(std::wstring_view name) const;

 private:
  InstanceFolder(std::wstring path, FileHandle lock);
  std::wstring path_;
  FileHandle lock_;
};

}  // namespace scribly
