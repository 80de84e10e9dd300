#include "ui/open_file_filter.hpp"

#include "common/ascii_case.hpp"

namespace kelv::ui {

std::string BuildOpenFileFilter(const std::vector<PictureFormat>& formats) {
  struct Entry {
    std::string description;
    std::string patterns;
  };
  std::vector<Entry> entries;
  std::string all;
  bool bmpTaken = false;
  for (const PictureFormat& format : formats) {
    const std::string pattern = "*" + format.extension;
    if (LowerAscii(pattern) == "*.bmp") {
      if (bmpTaken) continue;
      bmpTaken = true;
    }
    all += (all.empty() ? "" : ";") + pattern;
    if (!entries.empty() && entries.back().description == format.description)
      entries.back().patterns += ";" + pattern;
    else
      entries.push_back({format.description, pattern});
  }
  std::string filter = "All formats";
  filter += '\0';
  filter += all;
  filter += '\0';
  for (const Entry& e : entries) {
    filter += e.description + " (" + e.patterns + ")";
    filter += '\0';
    filter += e.patterns;
    filter += '\0';
  }
  filter += '\0';
  return filter;
}

std::vector<std::string> SplitOpenFileResult(const std::string& buffer) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start < buffer.size() && buffer[start] != '\0') {
    const size_t end = buffer.find('\0', start);
    parts.push_back(buffer.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (parts.size() <= 1) return parts;
  std::string folder = parts.front();
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  std::vector<std::string> files;
  for (size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
  return files;
}

}  // namespace kelv::ui
