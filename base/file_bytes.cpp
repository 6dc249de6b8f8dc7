#include "base/file_bytes.h"

#include <cstdio>
#include <memory>

namespace scribly {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

constexpr size_t kReadChunkBytes = 64 * 1024;

}  // namespace

FileReadResult readFileBytes(const std::string& path, size_t maxBytes) {
  FileReadResult result;
  // The C runtime opens with shared read and takes the path in the system code page.
  FileHandle f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    result.error = FileReadError::CannotOpen;
    return result;
  }
  // Read in chunks rather than trusting a reported size: the file may change
  // under us, and devices or pipes report none. Growth stops one byte past the cap.
  for (;;) {
    const size_t have = result.bytes.size();
    const size_t room = maxBytes - have + 1;
    const size_t want = room < kReadChunkBytes ? room : kReadChunkBytes;
    result.bytes.resize(have + want);
    const size_t got = std::fread(result.bytes.data() + have, 1, want, f.get());
    result.bytes.resize(have + got);
    if (result.bytes.size() > maxBytes) {
      result.bytes.clear();
      result.error = FileReadError::TooLarge;
      return result;
    }
    if (got < want) break;
  }
  if (std::ferror(f.get())) {
    result.bytes.clear();
    result.error = FileReadError::ReadFailed;
  }
  return result;
}

#ifndef _WIN32
// Windows has its own in file_bytes_win.cpp.

namespace {

bool writeWholeFile(const std::string& path, std::span<const uint8_t> bytes) {
  FileHandle f(std::fopen(path.c_str(), "wb"));
  if (!f) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
    return false;
  if (std::fflush(f.get()) != 0) return false;
  // Closing may still report a failed write of buffered data.
  return std::fclose(f.release()) == 0;
}

}  // namespace

bool writeFileBytes(const std::string& path, std::span<const uint8_t> bytes) {
  // Written beside the file and then renamed over it, which replaces it in
  // one step: a reader finds the old file or the new one, never none.
  const std::string temporary = path + ".new";
  if (writeWholeFile(temporary, bytes) && std::rename(temporary.c_str(), path.c_str()) == 0)
    return true;
  std::remove(temporary.c_str());
  return false;
}

#endif

}  // namespace scribly
