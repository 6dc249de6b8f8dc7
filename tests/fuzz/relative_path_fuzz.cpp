// Fuzzes the resolver of the file names a skin's includes and scripts give.
// Whatever it accepts, read as Windows reads a path ("." and ".." steps, a
// component's trailing dots and spaces dropped, a colon for a drive or a
// stream), must stay below the folder.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/relative_path.h"

namespace {

constexpr std::string_view kFolders[] = {"C:\\skin", "C:\\skin\\", "/opt/skin", "Z:\\a b\\skin/"};

void checkStaysInside(std::string_view folder, std::string_view path) {
  std::string_view base = folder;
  while (!base.empty() && (base.back() == '\\' || base.back() == '/')) base.remove_suffix(1);
  if (path.substr(0, base.size()) != base || path.size() <= base.size() + 1) std::abort();
  std::string_view rest = path.substr(base.size() + 1);
  if (rest.find(':') != std::string_view::npos) std::abort();
  while (true) {
    const size_t cut = rest.find_first_of("\\/");
    std::string_view component = rest.substr(0, cut);
    while (!component.empty() && (component.back() == '.' || component.back() == ' '))
      component.remove_suffix(1);
    if (component.empty()) std::abort();  // ".", "..", "..." or an empty step
    if (cut == std::string_view::npos) return;
    rest.remove_prefix(cut + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view folder = kFolders[data[0] % std::size(kFolders)];
  const std::string_view name(reinterpret_cast<const char*>(data + 1), size - 1);
  if (const auto path = scribly::fileInside(folder, name)) checkStaysInside(folder, *path);
  return 0;
}
