#include "docprint/print_job.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "base/ascii.h"

namespace scribly {

namespace {

const DocumentType* documentType(std::string_view path) {
  for (const DocumentType& type : kDocumentTypes)
    if (hasExtension(path, type.extension)) return &type;
  return nullptr;
}

}  // namespace

std::string_view fileNameOf(std::string_view path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view baseNameOf(std::string_view path) {
  const std::string_view name = fileNameOf(path);
  return name.substr(0, std::min(name.rfind('.'), name.size()));
}

DocumentKind documentKind(std::string_view path) {
  const DocumentType* type = documentType(path);
  return type ? type->kind : DocumentKind::Refused;
}

bool printsAsPages(DocumentKind kind) {
  return kind == DocumentKind::Text || kind == DocumentKind::Pdf || kind == DocumentKind::Office;
}

bool hasDocumentContainer(std::string_view path, std::string_view firstBytes) {
  const DocumentType* type = documentType(path);
  if (type && type->zipPackage) return firstBytes.substr(0, 4) == std::string_view("PK\x03\x04", 4);
  if (type && type->kind == DocumentKind::Pdf)
    return firstBytes.substr(0, kContainerProbeBytes).find("%PDF-") != std::string_view::npos;
  return true;
}

std::string pageFileName(std::string_view base, uint32_t page, std::string_view extension) {
  std::string name(base);
  if (page >= 2) name += "(" + std::to_string(page) + ")";
  name += extension;
  return name;
}

int dotsPerInch(int32_t quality) { return quality == 3 ? 150 : 96; }

int pagePixels(int tenthsOfMillimetre, int dpi) {
  return static_cast<int>((int64_t{tenthsOfMillimetre} * dpi + 127) / 254);
}

uint32_t conversionSeconds(uint64_t bytes) {
  constexpr uint64_t kMiB = uint64_t{1} << 20;
  const uint64_t seconds = 60 + 10 * ((bytes + kMiB - 1) / kMiB);
  return static_cast<uint32_t>(std::min<uint64_t>(seconds, 600));
}

std::vector<std::string> officeToPdfArguments(std::string_view program, std::string_view profileUrl,
                                              std::string_view outFolder,
                                              std::string_view document) {
  return {std::string(program),
          "-env:UserInstallation=" + std::string(profileUrl),
          "--headless",
          "--norestore",
          "--nolockcheck",
          "--convert-to",
          "pdf",
          "--outdir",
          std::string(outFolder),
          std::string(document)};
}

std::vector<std::string> pdfToJpegArguments(std::string_view program, int dpi, std::string_view pdf,
                                            std::string_view prefix) {
  const std::string last = std::to_string(kMaxPrintedPages);
  const std::string side = std::to_string(kMaxPagePixels);
  return {std::string(program),
          "-r",
          std::to_string(dpi),
          "-f",
          "1",
          "-l",
          last,
          "-W",
          side,
          "-H",
          side,
          "-jpeg",
          std::string(pdf),
          std::string(prefix)};
}

std::string officeProfileSettings() {
  struct Setting {
    const char* path;
    const char* name;
    const char* value;
  };
  // Writer counts 2 as "never", Calc 1.
  static constexpr Setting kSettings[] = {
      {"/org.openoffice.Office.Writer/Content/Update", "Link", "2"},
      {"/org.openoffice.Office.Calc/Content/Update", "Link", "1"},
      {"/org.openoffice.Office.Common/Security/Scripting", "BlockUntrustedRefererLinks", "true"},
      {"/org.openoffice.Office.Common/Security/Scripting", "DisableMacrosExecution", "true"},
      {"/org.openoffice.Office.Common/Security/Scripting", "MacroSecurityLevel", "3"},
  };
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
      "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n";
  for (const Setting& s : kSettings) {
    xml += std::string("<item oor:path=\"") + s.path + "\"><prop oor:name=\"" + s.name +
           "\" oor:op=\"fuse\"><value>" + s.value + "</value></prop></item>\n";
  }
  return xml + "</oor:items>\n";
}

std::optional<uint32_t> rasterPageNumber(std::string_view fileName, std::string_view prefix) {
  constexpr std::string_view kSuffix = ".jpg";
  if (fileName.size() <= prefix.size() + 1 + kSuffix.size() ||
      fileName.substr(0, prefix.size()) != prefix || fileName[prefix.size()] != '-' ||
      fileName.substr(fileName.size() - kSuffix.size()) != kSuffix) {
    return std::nullopt;
  }
  const std::string_view digits =
      fileName.substr(prefix.size() + 1, fileName.size() - prefix.size() - 1 - kSuffix.size());
  if (digits.size() > 9) return std::nullopt;
  uint32_t n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<uint32_t>(c - '0');
  }
  return n == 0 ? std::nullopt : std::optional<uint32_t>(n);
}

std::string windowsCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
      line += argument;
      continue;
    }
    line += '"';
    size_t backslashes = 0;
    for (char c : argument) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      // Backslashes count double only before a quote.
      line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
      backslashes = 0;
      line += c;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
  }
  return line;
}

std::string fileUrl(std::string_view path) {
  std::string url = "file://";
  if (path.empty() || (path[0] != '/' && path[0] != '\\')) url += '/';
  for (unsigned char c : path) {
    if (c == '\\') {
      url += '/';
    } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("/-_.~:").find(static_cast<char>(c)) != std::string_view::npos) {
      url += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      url += hex;
    }
  }
  return url;
}

}  // namespace scribly
