#include "docprint/doc_printer_win.h"

#include <ntsecapi.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/ascii.h"
#include "docprint/converters_win.h"
#include "docprint/print_job.h"
#include "docprint/text_pages_win.h"
#include "win/handles.h"
#include "win/text.h"

namespace scribly {

namespace {

// The document, open for reading while the job takes its copy: nobody
// writes it meanwhile, and what is checked is what is printed. Invalid for
// a folder or a file that cannot be opened.
FileHandle openDocument(const std::string& path) {
  FileHandle file(CreateFileW(toWide(path, kCodePageSystem).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (file && (!GetFileInformationByHandle(file.get(), &info) ||
               (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)))
    file.reset();
  return file;
}

// Up to `limit` bytes from the open file's start; nullopt when it fails or
// the file is longer.
std::optional<std::string> readOpenFile(HANDLE file, size_t limit) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return std::nullopt;
  std::string bytes(limit + 1, '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD read = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
    if (!ReadFile(file, bytes.data() + done, want, &read, nullptr)) return std::nullopt;
    if (read == 0) break;
    done += read;
  }
  if (done > limit) return std::nullopt;
  bytes.resize(done);
  return bytes;
}

// The document's first bytes, as many as the container check looks at.
std::string firstBytes(HANDLE file) {
  LARGE_INTEGER start{};
  std::string bytes(kContainerProbeBytes, '\0');
  DWORD read = 0;
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN) ||
      !ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
    read = 0;
  bytes.resize(read);
  return bytes;
}

// The base name of a path in the system code page, split where the path's
// characters end, never inside a double-byte character.
std::string baseNameInCodePage(const std::string& path) {
  const std::string utf8 = recode(path, kCodePageSystem, kCodePageUtf8);
  return recode(baseNameOf(utf8), kCodePageUtf8, kCodePageSystem);
}

// Creates the folder and every missing folder above it.
bool createFolders(const std::string& folder) {
  std::wstring path = toWide(folder, kCodePageSystem);
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  if (path.empty()) return false;
  for (size_t i = path.find_first_of(L"\\/", 3); i != std::wstring::npos;
       i = path.find_first_of(L"\\/", i + 1)) {
    CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  }
  CreateDirectoryW(path.c_str(), nullptr);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A number nobody outside can guess: the report of a job carries it.
WPARAM newJobNumber() {
  WPARAM number = 0;
  while (number == 0)
    if (!RtlGenRandom(&number, sizeof number)) number = static_cast<WPARAM>(GetTickCount64()) | 1;
  return number;
}

// Nothing thrown inside the printer reaches the caller, which is another
// module and may not even be C++: each operation that can fail runs through
// here and answers `failure` instead.
template <typename Result, typename Operation>
Result orFailure(Result failure, Operation&& operation) noexcept {
  try {
    return operation();
  } catch (...) {
    return failure;
  }
}

template <typename Operation>
void ignoringFailure(Operation&& operation) noexcept {
  try {
    operation();
  } catch (...) {
  }
}

struct Job {
  DocumentKind kind = DocumentKind::Refused;
  std::string path;
  FileHandle document;
  std::string folder;
  int dpi = 96;
  HWND window = nullptr;
  UINT message = kPrintFinishedMessage;
  WPARAM number = 0;
};

class Printer final : public DocPrinter {
 public:
  Printer() { addOfficeUser(); }

  void __stdcall release() override {
    stop();
    // A worker that cannot be joined still uses the object: it stays.
    if (!orFailure(false, [&] {
          if (worker_.joinable()) worker_.join();
          return true;
        }))
      return;
    ignoringFailure(removeOfficeUser);
    delete this;
  }

  void __stdcall setOutputFolder(const char* folder) override {
    ignoringFailure([&] {
      std::lock_guard lock(mutex_);
      folder_ = folder ? folder : "";
      if (!folder_.empty() && folder_.back() != '\\') folder_ += '\\';
    });
  }

  void __stdcall setQuality(int32_t quality) override {
    ignoringFailure([&] {
      std::lock_guard lock(mutex_);
      quality_ = quality;
    });
  }

  int32_t __stdcall printDocument(const char* path) override {
    return orFailure(0, [&] { return startJob(path); });
  }

  void __stdcall stop() override { stopRequested_ = true; }

  void __stdcall setNotifyWindow(HWND window, UINT message) override {
    ignoringFailure([&] {
      std::lock_guard lock(mutex_);
      window_ = window;
      message_ = message;
    });
  }

  WPARAM __stdcall jobNumber() override { return number_; }

 private:
  int32_t startJob(const char* path) {
    if (!path || busy_) return 0;
    Job job;
    {
      std::lock_guard lock(mutex_);
      job = Job{documentKind(path), path, {}, folder_, dotsPerInch(quality_), window_, message_};
    }
    if (!printsAsPages(job.kind) || job.folder.empty()) return 0;
    job.document = openDocument(job.path);
    if (!job.document || !hasDocumentContainer(job.path, firstBytes(job.document.get())) ||
        !createFolders(job.folder)) {
      return 0;
    }
    if (worker_.joinable()) worker_.join();
    job.number = newJobNumber();
    number_ = job.number;
    stopRequested_ = false;
    busy_ = true;
    try {
      worker_ = std::thread([this, job = std::move(job)]() mutable { run(job); });
    } catch (...) {
      busy_ = false;
      throw;
    }
    return 1;
  }

  // Runs on the worker, where an escaping exception would end the host.
  void run(Job& job) {
    std::vector<std::string> written;
    bool ok = orFailure(false, [&] { return printPages(job, written); }) && !stopRequested_;
    job.document.reset();
    // A failed job leaves no pages behind for the import to mistake for a
    // document.
    if (!ok) {
      for (const std::string& file : written)
        ignoringFailure([&] { DeleteFileW(toWide(file, kCodePageSystem).c_str()); });
    }
    // Cleared before the report, so that a new job can start as soon as the
    // window has it. Posted, never sent: the window's thread may be waiting
    // for this one in release.
    busy_ = false;
    if (job.window) PostMessageW(job.window, job.message, job.number, ok ? kPrintSucceeded : 0);
  }

  bool printPages(Job& job, std::vector<std::string>& written) {
    const std::string base = baseNameInCodePage(job.path);
    if (job.kind == DocumentKind::Text) {
      std::optional<std::string> text = readOpenFile(job.document.get(), kMaxTextFileBytes);
      job.document.reset();
      return text &&
             printTextPages(std::move(*text), job.folder, base, job.dpi, stopRequested_, written);
    }
    const std::wstring extension =
        toWide(extensionOf(recode(job.path, kCodePageSystem, kCodePageUtf8)));
    return printConvertedPages(job.document.get(), extension, job.kind == DocumentKind::Office,
                               job.folder, base, job.dpi, stopRequested_, written);
  }

  std::mutex mutex_;
  std::string folder_;
  int32_t quality_ = 2;
  HWND window_ = nullptr;
  UINT message_ = kPrintFinishedMessage;
  WPARAM number_ = 0;  // the caller's thread only
  std::atomic<bool> busy_ = false;
  std::atomic<bool> stopRequested_ = false;
  std::thread worker_;
};

}  // namespace

}  // namespace scribly

// The object lives until its release.
extern "C" scribly::DocPrinter* __stdcall CreateDocPrint() {
  return scribly::orFailure<scribly::DocPrinter*>(nullptr, [] { return new scribly::Printer(); });
}
