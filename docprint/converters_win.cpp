#include "docprint/converters_win.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "docprint/print_job.h"
#include "win/folders.h"
#include "win/handles.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {

namespace {

using Clock = std::chrono::steady_clock;
// Short: the report of a job waits for the runner's status file to be seen.
constexpr auto kPollInterval = std::chrono::milliseconds(5);
// After a stop or the time limit, how long the runner may take to kill the
// converter and say so.
constexpr auto kRunnerGrace = std::chrono::seconds(15);
constexpr char kRasterPrefix[] = "page";
constexpr char kRunnerName[] = "scribly-convert";

// The Linux path of a Windows one (UTF-8); empty when Wine has none.
std::string unixPath(const std::wstring& path) {
  using Convert = char*(CDECL*)(LPCWSTR);
  static const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return {};
  char* unix = convert(path.c_str());
  if (!unix) return {};
  std::string result = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

// A file of a few bytes the runner wrote, by its wide path (the temporary
// folder need not be nameable in the system code page).
std::string readSmallFile(const std::wstring& path) {
  FileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  char bytes[64];
  DWORD read = 0;
  if (!file || !ReadFile(file.get(), bytes, sizeof bytes, &read, nullptr)) return {};
  return std::string(bytes, read);
}

// Writes `text` as a new file.
bool writeNewFile(const std::wstring& path, std::string_view text) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file &&
         WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

// Copies an open document from its start into a new file.
bool copyOpenFile(HANDLE from, const std::wstring& to) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) return false;
  FileHandle file(CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::vector<char> buffer(size_t{1} << 20);
  for (;;) {
    DWORD read = 0, written = 0;
    if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
      return false;
    if (read == 0) return true;
    if (!WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written != read)
      return false;
  }
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A folder of this job's own under the system's temporary folder, readable
// by the user alone (it holds a copy of the document), deleted with
// everything in it at the end of the job.
class PrivateFolder {
 public:
  explicit PrivateFolder(const wchar_t* prefix = L"scribly-print-") {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n > MAX_PATH) return;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
      const std::wstring path = std::wstring(temp) + prefix +
                                std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(attempt);
      if (createPrivateFolder(path)) {
        path_ = path;
        return;
      }
    }
  }
  ~PrivateFolder() {
    if (!path_.empty()) deleteFolderTree(path_);
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring operator/(const wchar_t* name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// A program the system can wait for: found on the PATH, run in a job object
// so that killing it also kills what it started.
bool runNative(const std::vector<std::string>& arguments, const PrivateFolder& work,
               uint32_t seconds, const std::atomic<bool>& stop) {
  wchar_t program[MAX_PATH + 1] = {};
  const std::wstring name = toWide(arguments.front()) + L".exe";
  const DWORD found = SearchPathW(nullptr, name.c_str(), nullptr, MAX_PATH, program, nullptr);
  if (found == 0 || found > MAX_PATH) return false;
  std::vector<std::string> line = arguments;
  line.front() = fromWide(program);
  std::wstring commandLine = toWide(windowsCommandLine(line));
  KernelHandle job(CreateJobObjectW(nullptr, nullptr));
  if (!job) return false;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, work.path().c_str(), &startup,
                      &process)) {
    return false;
  }
  KernelHandle processHandle(process.hProcess);
  KernelHandle thread(process.hThread);
  if (!AssignProcessToJobObject(job.get(), processHandle.get())) {
    TerminateProcess(processHandle.get(), 1);
    return false;
  }
  ResumeThread(thread.get());
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  while (WaitForSingleObject(processHandle.get(), 50) == WAIT_TIMEOUT) {
    if (stop || Clock::now() >= deadline) {
      TerminateJobObject(job.get(), 1);
      return false;
    }
  }
  DWORD code = 1;
  return GetExitCodeProcess(processHandle.get(), &code) && code == 0;
}

// A Linux program under Wine, through scribly-convert beside this library:
// it writes the program's status to a file, and ends it when the stop file
// appears or the time runs out.
// Starts the runner on `arguments` with its status and stop files in `work`
// and returns at once.
bool startRunner(const std::vector<std::string>& arguments, const PrivateFolder& work,
                 uint32_t seconds) {
  const std::wstring runner = toWide(moduleFolder(), kCodePageSystem) + L"\\" + toWide(kRunnerName);
  DeleteFileW((work / L"status").c_str());
  DeleteFileW((work / L"stop").c_str());
  const std::string workUnix = unixPath(work.path());
  if (!exists(runner) || workUnix.empty()) return false;
  std::vector<std::string> line = {fromWide(runner), workUnix + "/status", workUnix + "/stop",
                                   std::to_string(seconds)};
  line.insert(line.end(), arguments.begin(), arguments.end());
  std::wstring commandLine = toWide(windowsCommandLine(line));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, work.path().c_str(), &startup, &process)) {
    return false;
  }
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return true;
}

bool runThroughRunner(const std::vector<std::string>& arguments, const PrivateFolder& work,
                      uint32_t seconds, const std::atomic<bool>& stop) {
  const std::wstring statusFile = work / L"status";
  const std::wstring stopFile = work / L"stop";
  if (!startRunner(arguments, work, seconds)) return false;
  auto deadline = Clock::now() + std::chrono::seconds(seconds) + kRunnerGrace;
  bool stopping = false;
  while (!exists(statusFile)) {
    if (stop && !stopping) {
      FileHandle(CreateFileW(stopFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
      stopping = true;
      deadline = std::min(deadline, Clock::now() + kRunnerGrace);
    }
    // A runner that never reports (killed, or no runner at all) must not
    // hold the job forever.
    if (Clock::now() >= deadline) {
      FileHandle(CreateFileW(stopFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
      return false;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  return !stopping && readSmallFile(statusFile) == "0\n";
}

// The path a converter is given: Linux paths for Linux programs.
std::string converterPath(const std::wstring& path) {
  return runningUnderWine() ? unixPath(path) : fromWide(path);
}

bool runConverter(const std::vector<std::string>& arguments, const PrivateFolder& work,
                  uint32_t seconds, const std::atomic<bool>& stop) {
  for (const std::string& argument : arguments) {
    if (argument.empty()) return false;
  }
  return runningUnderWine() ? runThroughRunner(arguments, work, seconds, stop)
                            : runNative(arguments, work, seconds, stop);
}

uint64_t fileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// The rasteriser's pictures by page number; empty unless they run 1..n.
std::vector<std::wstring> rasterisedPages(const std::wstring& folder) {
  std::map<uint32_t, std::wstring> pages;
  WIN32_FIND_DATAW entry;
  FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (find) {
    do {
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      if (const auto number = rasterPageNumber(fromWide(entry.cFileName), kRasterPrefix)) {
        pages[*number] = folder + L"\\" + entry.cFileName;
      }
    } while (FindNextFileW(find.get(), &entry));
  }
  std::vector<std::wstring> ordered;
  for (const auto& [number, path] : pages) {
    if (number != ordered.size() + 1) return {};
    ordered.push_back(path);
  }
  return ordered;
}

// A fresh LibreOffice profile at `profile` with the settings every
// conversion runs under.
bool makeOfficeProfile(const std::wstring& profile) {
  return CreateDirectoryW(profile.c_str(), nullptr) &&
         CreateDirectoryW((profile + L"\\user").c_str(), nullptr) &&
         writeNewFile(profile + L"\\user\\registrymodifications.xcu", officeProfileSettings());
}

// How long the office kept running may live: its runner ends it then, also
// when this process died without ending it. It takes no document in its
// last ten minutes, so that none is converting when the time runs out.
constexpr uint32_t kWarmOfficeSeconds = 3600;
constexpr auto kWarmOfficeServes = std::chrono::minutes(50);
// How long a converter that was told to end may take before its folder goes.
constexpr auto kWarmOfficeGrace = std::chrono::seconds(5);

// One LibreOffice kept running for the process with a private profile and an
// empty document open (without one it ends after its first conversion).
// Another `soffice --convert-to` with the same profile hands its document to
// it over LibreOffice's own pipe and waits for the PDF, which skips the
// start of a new office. Under Wine only: it runs through the runner, which
// kills it on the stop file. A conversion that fails, times out or is
// stopped ends the instance (it may hang or still be converting); the next
// job converts on its own and starts a new one. The last printer's release
// ends it.
class WarmOffice {
 public:
  static WarmOffice& get() {
    // Never destroyed: at process exit the threads that would wait are gone.
    static WarmOffice* warm = new WarmOffice();
    return *warm;
  }

  void addPrinter() {
    std::lock_guard lock(mutex_);
    ++printers_;
  }
  void removePrinter() {
    std::lock_guard lock(mutex_);
    if (printers_ > 0 && --printers_ == 0) end();
  }

  // The profile URL of an instance that answers, locked for one conversion
  // until release(); empty when there is none.
  std::string acquire() {
    std::lock_guard lock(mutex_);
    // Its runner reported (the instance is gone), or its time is nearly up.
    if (folder_ && (exists(*folder_ / L"status") || Clock::now() > started_ + kWarmOfficeServes))
      end();
    // Ready once it has opened its document.
    if (!folder_ || inUse_ || !exists(*folder_ / L".~lock.keep.txt#")) return {};
    inUse_ = true;
    return profileUrl_;
  }
  // Starts one for the next conversions unless there is one; called after
  // a conversion of the job's own, so that the two do not share the cores.
  void warmUp() {
    std::lock_guard lock(mutex_);
    if (runningUnderWine() && printers_ > 0 && !folder_) start();
  }
  void release(bool converted) {
    std::lock_guard lock(mutex_);
    inUse_ = false;
    if (!converted) end();
  }

 private:
  void start() {
    auto folder = std::make_unique<PrivateFolder>(L"scribly-office-");
    const std::wstring profile = *folder / L"profile";
    const std::wstring keep = *folder / L"keep.txt";
    if (folder->path().empty() || !makeOfficeProfile(profile) || !writeNewFile(keep, {})) return;
    const std::string url = fileUrl(unixPath(profile));
    if (!startRunner({"soffice", "-env:UserInstallation=" + url, "--headless", "--norestore",
                      "--nolockcheck", unixPath(keep)},
                     *folder, kWarmOfficeSeconds))
      return;
    profileUrl_ = url;
    folder_ = std::move(folder);
    started_ = Clock::now();
  }

  // The runner kills the instance on the stop file and reports; its folder
  // goes once it has, or after a while.
  void end() {
    if (!folder_) return;
    const std::wstring status = *folder_ / L"status";
    FileHandle(CreateFileW((*folder_ / L"stop").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                           nullptr));
    for (const auto deadline = Clock::now() + kWarmOfficeGrace;
         !exists(status) && Clock::now() < deadline;)
      std::this_thread::sleep_for(kPollInterval);
    folder_.reset();
    profileUrl_.clear();
  }

  std::mutex mutex_;
  unsigned printers_ = 0;
  bool inUse_ = false;
  std::unique_ptr<PrivateFolder> folder_;
  std::string profileUrl_;
  Clock::time_point started_;
};

}  // namespace

void addOfficeUser() { WarmOffice::get().addPrinter(); }
void removeOfficeUser() { WarmOffice::get().removePrinter(); }

bool printConvertedPages(HANDLE document, std::wstring_view extension, bool office,
                         const std::string& folder, const std::string& base, int dpi,
                         const std::atomic<bool>& stop, std::vector<std::string>& written) {
  const PrivateFolder work;
  if (work.path().empty()) return false;
  // The document as it was when the job was accepted, under a plain name:
  // the converters see no name of the user's, and nothing the document's
  // owner writes later.
  const std::wstring copy = work / (L"document" + std::wstring(extension)).c_str();
  if (!copyOpenFile(document, copy)) return false;
  const uint32_t seconds = conversionSeconds(fileSize(copy));
  std::wstring pdf = copy;
  if (office) {
    const std::wstring converted = work / L"converted";
    if (!CreateDirectoryW(converted.c_str(), nullptr)) return false;
    pdf = converted + L"\\document.pdf";
    WarmOffice& warm = WarmOffice::get();
    std::string profileUrl = warm.acquire();
    const bool warmed = !profileUrl.empty();
    if (!warmed) {
      const std::wstring profile = work / L"profile";
      if (!makeOfficeProfile(profile)) return false;
      profileUrl = fileUrl(converterPath(profile));
    }
    const bool done =
        runConverter(officeToPdfArguments("soffice", profileUrl, converterPath(converted),
                                          converterPath(copy)),
                     work, seconds, stop) &&
        exists(pdf);
    if (warmed) warm.release(done);
    if (!done) return false;
    if (!warmed) warm.warmUp();
  }
  const std::wstring pages = work / L"pages";
  if (stop || !CreateDirectoryW(pages.c_str(), nullptr) ||
      !runConverter(pdfToJpegArguments("pdftoppm", dpi, converterPath(pdf),
                                       converterPath(pages + L"\\" + toWide(kRasterPrefix))),
                    work, seconds, stop)) {
    return false;
  }
  const std::vector<std::wstring> pictures = rasterisedPages(pages);
  if (pictures.empty() || pictures.size() > kMaxPrintedPages) return false;
  for (size_t i = 0; i < pictures.size(); ++i) {
    if (stop) return false;
    const std::string target = folder + pageFileName(base, static_cast<uint32_t>(i + 1), ".jpg");
    if (!MoveFileExW(pictures[i].c_str(), toWide(target, kCodePageSystem).c_str(),
                     MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING)) {
      return false;
    }
    written.push_back(target);
  }
  return true;
}

}  // namespace scribly
