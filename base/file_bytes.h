#pragma once
// Whole-file reading and writing for the core's own small files (skin,
// configuration, tree texts). Paths are 8-bit strings in the system code page.
// This is the only place the core opens such files, so the Win32 layer can swap
// in its own implementation without touching the callers.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace scribly {

enum class FileReadError { None, CannotOpen, TooLarge, ReadFailed };

struct FileReadResult {
  std::vector<uint8_t> bytes;
  FileReadError error = FileReadError::None;
  bool ok() const { return error == FileReadError::None; }
};

// Reads the whole file. A file longer than maxBytes is refused rather than cut,
// so a caller never mistakes part of a file for all of it.
FileReadResult readFileBytes(const std::string& path, size_t maxBytes);

// Replaces the file with one holding `bytes`, creating it when missing. The
// bytes go to a new file in the same folder first, which then takes the old
// one's place in one step: a reader meanwhile finds the old file whole or
// the new one, never none; on any failure the old file stays as it was and
// the answer is false.
bool writeFileBytes(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace scribly
