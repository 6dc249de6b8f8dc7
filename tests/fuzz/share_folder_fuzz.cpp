// A shared document's name, any bytes, to the folder its pages are printed
// into: always one plain folder name right below the temporary root, so
// deleting that folder can never reach the root, its parent or a device.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "share/document_share.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const unsigned attempt = data[0] % 4;
  const std::string_view name(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string_view root = "C:\\Users\\a\\Scribly\\1-0\\PrintTemp\\";
  const std::string folder = scribly::shareOutputFolder(root, name, attempt);
  if (folder.substr(0, root.size()) != root || folder.back() != '\\') std::abort();
  const std::string_view own =
      std::string_view(folder).substr(root.size(), folder.size() - root.size() - 1);
  if (own.empty() || own == "." || own == ".." || own.back() == '.' || own.back() == ' ' ||
      own.size() > scribly::kMaxShareFolderName + 2)
    std::abort();
  for (unsigned char c : own)
    if (c < 0x20 || c >= 0x7F ||
        std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
      std::abort();
  // A device name, bare or with an extension, in any case.
  std::string stem(own.substr(0, own.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (stem == "con" || stem == "prn" || stem == "aux" || stem == "nul" || stem == "conin$" ||
      stem == "conout$" || stem == "clock$" ||
      (stem.size() == 4 && (stem.starts_with("com") || stem.starts_with("lpt")) && stem[3] >= '0' &&
       stem[3] <= '9'))
    std::abort();
  // A fresh attempt gives another folder.
  if (scribly::shareOutputFolder(root, name, attempt + 1) == folder) std::abort();
  return 0;
}
