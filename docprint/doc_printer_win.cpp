#include "docprint/doc_printer_win.h"

#include <ntsecapi.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "docprint/converters_win.h"
#include "docprint/print_job.h"
#include "docprint/text_pages_win.h"
#include "win/handles.h"
#include "win/text.h"

namespace scribly {

namespace {

bool isFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(toWide(path, kCodePageSystem).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The document's first bytes, as many as the container check looks at.
std::string firstBytes(const std::string& path) {
  FileHandle file(CreateFileW(toWide(path, kCodePageSystem).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr));
  std::string bytes(kContainerProbeBytes, '\0');
  DWORD read = 0;
  if (!file ||
      !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
    read = 0;
  bytes.resize(read);
  return bytes;
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

struct Job {
  DocumentKind kind = DocumentKind::Refused;
  std::string path;
  std::string folder;
  int dpi = 96;
  HWND window = nullptr;
  UINT message = kPrintFinishedMessage;
  WPARAM number = 0;
};

class Printer final : public DocPrinter {
 public:
  void __stdcall release() override {
    std::unique_ptr<Printer> self(this);
    stop();
    if (worker_.joinable()) worker_.join();
  }

  void __stdcall setOutputFolder(const char* folder) override {
    std::lock_guard lock(mutex_);
    folder_ = folder ? folder : "";
    if (!folder_.empty() && folder_.back() != '\\') folder_ += '\\';
  }

  void __stdcall setQuality(int32_t quality) override {
    std::lock_guard lock(mutex_);
    quality_ = quality;
  }

  int32_t __stdcall printDocument(const char* path) override {
    if (!path || busy_) return 0;
    Job job;
    {
      std::lock_guard lock(mutex_);
      job = Job{documentKind(path), path, folder_, dotsPerInch(quality_), window_, message_};
    }
    if (job.kind == DocumentKind::Refused || job.folder.empty() || !isFile(job.path) ||
        !hasDocumentContainer(job.path, firstBytes(job.path)) || !createFolders(job.folder)) {
      return 0;
    }
    if (worker_.joinable()) worker_.join();
    job.number = newJobNumber();
    number_ = job.number;
    stopRequested_ = false;
    busy_ = true;
    worker_ = std::thread([this, job = std::move(job)] { run(job); });
    return 1;
  }

  void __stdcall stop() override { stopRequested_ = true; }

  void __stdcall setNotifyWindow(HWND window, UINT message) override {
    std::lock_guard lock(mutex_);
    window_ = window;
    message_ = message;
  }

  WPARAM __stdcall jobNumber() override { return number_; }

 private:
  void run(const Job& job) {
    std::vector<std::string> written;
    const std::string base(baseNameOf(job.path));
    bool ok = false;
    if (job.kind == DocumentKind::Text) {
      ok = printTextPages(job.path, job.folder, base, job.dpi, stopRequested_, written);
    } else {
      ok = printConvertedPages(job.path, job.kind == DocumentKind::Office, job.folder, base,
                               job.dpi, stopRequested_, written);
    }
    ok = ok && !stopRequested_;
    // A failed job leaves no pages behind for the import to mistake for a
    // document.
    if (!ok) {
      for (const std::string& file : written) DeleteFileW(toWide(file, kCodePageSystem).c_str());
    }
    // Cleared before the report, so that a new job can start as soon as the
    // window has it. Posted, never sent: the window's thread may be waiting
    // for this one in release.
    busy_ = false;
    if (job.window) PostMessageW(job.window, job.message, job.number, ok ? kPrintSucceeded : 0);
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
  return std::make_unique<scribly::Printer>().release();
}
