#pragma once
// The configuration file beside the module ("ScriblyCfg.xml"):
//
//   <Scribly>
//     <dirroot enable="true" path="D:\Lessons"/>
//   </Scribly>
//
// "path" is the root folder of the shared-document library and counts only
// while "enable" is "true".
#include <string>
#include <string_view>

namespace scribly {

inline constexpr char kConfigFileName[] = "ScriblyCfg.xml";

// The library root is read into a buffer of this many characters, terminator
// included; a longer path is no path rather than a wrong one.
inline constexpr size_t kLibraryRootChars = 260;

// The "path" of the root's child `item` when its "enable" is "true"; empty
// when the file, the root "Scribly", the item or the enabling is missing.
std::string readConfigItem(const std::string& configPath, std::string_view item);

// The "dirroot" item, empty when it would not fit kLibraryRootChars.
std::string readLibraryRoot(const std::string& configPath);
// Whether "dirroot" has "enable" "true": the library is on even while its
// path is still empty, and a folder chosen then is shown at once.
bool libraryEnabled(const std::string& configPath);

enum class ConfigWrite { Unchanged, Written, Failed };

// Sets the "path" of "dirroot" and saves the file, only when the value
// changes; "enable" and the byte-order mark stay as they were. Failed, with the
// file untouched, when it cannot be read, lacks "Scribly" / "dirroot", or the
// new file cannot be written.
ConfigWrite writeLibraryRoot(const std::string& configPath, std::string_view folder);

}  // namespace scribly
