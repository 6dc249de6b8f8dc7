#pragma once
// Text documents drawn page by page with GDI and saved as JPEG pictures.
#include <atomic>
#include <string>
#include <vector>

namespace scribly {

// Draws `text` (a text file's bytes: UTF-8 with or without a byte order
// mark, else the system code page; at most kMaxTextFileBytes) on white pages
// of 185.5 mm x 244.8 mm at `dpi`, and writes page n as
// folder + pageFileName(base, n, ".jpg"). Checks `stop` before each page.
// Every file written is added to `written`, also on failure; false when
// anything fails or `stop` was set. Paths are 8-bit in the system code page.
bool printTextPages(std::string text, const std::string& folder, const std::string& base, int dpi,
                    const std::atomic<bool>& stop, std::vector<std::string>& written);

inline constexpr size_t kMaxTextFileBytes = size_t{16} << 20;

}  // namespace scribly
