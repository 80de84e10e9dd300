#include "plugins/plugin_rules.hpp"

#include <algorithm>
#include <cstring>

#include "common/exif_date.hpp"

namespace kelv {

std::string FileNameOnly(const std::string& path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string FileExtension(const std::string& path) {
  std::string name = FileNameOnly(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::vector<std::string> PluginLibraryFiles(std::vector<std::string> names,
                                            const NameCompare& compare) {
  std::erase_if(names, [](const std::string& n) { return LowerAscii(FileExtension(n)) != ".dll"; });
  std::stable_sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    return compare(a, b) < 0;
  });
  return names;
}

bool BufferSizeAllowed(int64_t size, uint64_t availablePhysicalMemory) {
  if (size <= 0 || size > 100'000'000) return false;
  if (size > 50'000'000 && static_cast<double>(size) > 0.3 * static_cast<double>(availablePhysicalMemory))
    return false;
  return true;
}

uint32_t InputOptionFlags(bool ignoreExif, bool crop) {
  return KELV_OPT_SIX_ARG | (ignoreExif ? KELV_OPT_IGNORE_EXIF : 0u) | (crop ? KELV_OPT_FILL : 0u);
}

DecodeRequest MakeDecodeRequest(int32_t wantWidth, int32_t wantHeight, bool bestQuality) {
  if (wantWidth == -1 && wantHeight == -1) return {0, 0, false};
  if (bestQuality) {
    // Saturate instead of overflowing on absurd sizes.
    auto twice = [](int32_t v) {
      int64_t t = static_cast<int64_t>(v) * 2;
      return static_cast<int32_t>(std::clamp<int64_t>(t, INT32_MIN, INT32_MAX));
    };
    return {twice(wantWidth), twice(wantHeight), true};
  }
  return {wantWidth, wantHeight, true};
}

DecodeVerdict JudgeDecode(const DecodeAnswer& a, bool pixelsRequested) {
  if ((a.sourceWidth < 0 && a.sourceHeight < 0) || (a.deliveredWidth < 0 && a.deliveredHeight < 0))
    return DecodeVerdict::Filtered;
  if (a.deliveredWidth > 0 && a.deliveredHeight > 0 &&
      (!pixelsRequested || a.pixelsDelivered || a.rowsTaken))
    return DecodeVerdict::Decoded;
  return DecodeVerdict::Rejected;
}

std::vector<std::string> DescriptorExtensions(const TInModule& module) {
  std::vector<std::string> out;
  if (!module.extensions || module.formatCount <= 0) return out;
  for (int32_t i = 0; i < module.formatCount; ++i)
    out.emplace_back(module.extensions[i] ? module.extensions[i] : "");
  return out;
}

std::string TooOldMessage(const char* moduleName) {
  return std::string(moduleName ? moduleName : "") + " plugin is too old. Please download new version";
}

std::string MemoryManagerFailureMessage(uintptr_t handle, uint32_t lastError) {
  return "Can't load \"fastmm.dll\". Please reinstall Kelvora. Error " + std::to_string(handle) +
         ", " + std::to_string(lastError);
}

std::string DateTakenText(const TInPictureInfo& info) {
  const char* text = info.dateTaken;
  const void* nul = std::memchr(text, '\0', sizeof info.dateTaken);
  const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : sizeof info.dateTaken;
  const std::string_view view(text, length);
  return ParseExifDate(view) ? std::string(view) : std::string();
}

}  // namespace kelv
