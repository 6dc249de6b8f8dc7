#pragma once
// PDF and office documents turned into page pictures by the converters.
#include <windows.h>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace scribly {

// Copies the open `document` (with `extension`, as ".pdf") into a folder of
// the job's own, rasterises the copy (an office document is converted to
// PDF first, when `office`) at `dpi`, and moves page n to
// folder + pageFileName(base, n, ".jpg"). Checks `stop` while a converter
// runs and kills it when set. Every file moved into `folder` is added to
// `written`, also on failure; false when anything fails or `stop` was set.
// `folder` and `base` are 8-bit in the system code page.
// Each printer counts as a user of the office converter kept running for
// the process; the last one's removal ends it.
void addOfficeUser();
void removeOfficeUser();

bool printConvertedPages(HANDLE document, std::wstring_view extension, bool office,
                         const std::string& folder, const std::string& base, int dpi,
                         const std::atomic<bool>& stop, std::vector<std::string>& written);

}  // namespace scribly
