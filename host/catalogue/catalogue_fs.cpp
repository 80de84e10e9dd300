#include "catalogue/catalogue_fs.hpp"

#include <algorithm>
#include <cstring>

namespace kelv {

std::string FolderOfPath(const std::string& path) {
  size_t at = path.find_last_of("\\/");
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string WithoutTrailingBackslash(std::string path, const CatalogueFileSystem& fs) {
  // Only a walk from the start knows where the last character begins: the byte before a
  // 0x5C may itself be the second byte of a double-byte character.
  size_t last = std::string::npos;
  for (size_t at = 0; at < path.size();) {
    last = at;
    at += fs.IsLeadByte(static_cast<uint8_t>(path[at])) && at + 1 < path.size() ? 2 : 1;
  }
  if (!path.empty() && last == path.size() - 1 && path[last] == '\\') path.pop_back();
  return path;
}

void ReadWholeInto(size_t expected, size_t maxBytes, std::vector<uint8_t>& data,
                   const std::function<size_t(uint8_t* p, size_t n)>& read) {
  constexpr size_t kGrowth = 1 << 20;
  data.clear();
  data.resize(std::min(expected, maxBytes));
  size_t at = 0;
  for (;;) {
    if (at == data.size()) {
      if (at >= maxBytes) break;
      // The buffer is full: a small read tells the end from a file that has grown.
      uint8_t probe[4096];
      const size_t got = read(probe, std::min(sizeof probe, maxBytes - at));
      if (got == 0) break;
      data.resize(std::min(maxBytes, at + got + kGrowth));
      std::memcpy(data.data() + at, probe, got);
      at += got;
      continue;
    }
    const size_t got = read(data.data() + at, data.size() - at);
    if (got == 0) break;
    at += got;
  }
  data.resize(at);
}

bool IsReplaceTempName(const std::string& name) {
  const size_t prefix = std::strlen(kReplaceTempPrefix);
  const std::string suffix = ".tmp";
  if (name.size() < prefix + 1 + suffix.size() || name.size() > prefix + 4 + suffix.size()) return false;
  auto sameIgnoringCase = [&](size_t at, const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
      char c = name[at + i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
      if (c != text[i]) return false;
    }
    return true;
  };
  if (!sameIgnoringCase(0, kReplaceTempPrefix) || !sameIgnoringCase(name.size() - suffix.size(), suffix)) return false;
  for (size_t i = prefix; i < name.size() - suffix.size(); ++i) {
    char c = name[i];
    bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

}  // namespace kelv
