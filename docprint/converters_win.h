#pragma once
// PDF and office documents turned into page pictures by the converters.
#include <atomic>
#include <string>
#include <vector>

namespace scribly {

// Rasterises the PDF at `path` (an office document is converted to PDF
// first, when `office`) at `dpi`, and moves page n to
// folder + pageFileName(base, n, ".jpg"). Checks `stop` while a converter
// runs and kills it when set. Every file moved into `folder` is added to
// `written`, also on failure; false when anything fails or `stop` was set.
// Paths are 8-bit in the system code page.
bool printConvertedPages(const std::string& path, bool office, const std::string& folder,
                         const std::string& base, int dpi, const std::atomic<bool>& stop,
                         std::vector<std::string>& written);

}  // namespace scribly
