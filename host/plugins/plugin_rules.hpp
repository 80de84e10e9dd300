// The plug-in host's decisions that need no platform: which files are plug-in libraries,
// the size limits of the decode buffer, the options flags, the wanted size of a decode
// request, whether a decoder's answer counts, and the extension list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/ascii_case.hpp"
#include "kelv_effectmodule.h"
#include "kelv_inmodule.h"

namespace kelv {

// Interface versions a module must report exactly.
inline constexpr uint32_t kInModuleVersion = KELV_INMODULE_VERSION;
inline constexpr uint32_t kEffectModuleVersion = KELV_EFFECTMODULE_VERSION;

// File names are kept to this many characters.
inline constexpr size_t kModuleFileNameLimit = 100;

// The extension of a path's file name, from its last dot, dot included; empty when the
// name has no dot.
std::string FileExtension(const std::string& path);

// The file name without its folder.
std::string FileNameOnly(const std::string& path);

// Case-insensitive comparison giving <0, 0, >0 (the platform's user-locale order on
// Windows).
using NameCompare = std::function<int(const std::string&, const std::string&)>;

// The library files of a folder listing: extension ".dll" in any case, sorted by `compare`.
std::vector<std::string> PluginLibraryFiles(std::vector<std::string> names,
                                            const NameCompare& compare);

// Decode-buffer and host-heap size limits: nothing below 1 byte, nothing above 100,000,000
// bytes, and above 50,000,000 bytes nothing larger than 0.3 x the available physical memory.
bool BufferSizeAllowed(int64_t size, uint64_t availablePhysicalMemory);

// Options flags the host sends: the six-argument request, "ignoreexif", "crop".
uint32_t InputOptionFlags(bool ignoreExif, bool crop);

// The wanted size and buffer request for a decode: Best quality asks for twice the size,
// both sides -1 ask for no pixels (size 0, no buffer).
struct DecodeRequest {
  int32_t wantWidth = 0;
  int32_t wantHeight = 0;
  bool wantPixels = true;
};
DecodeRequest MakeDecodeRequest(int32_t wantWidth, int32_t wantHeight, bool bestQuality);

// What a decoder answered.
struct DecodeAnswer {
  int32_t deliveredWidth = 0;   // wantW, wantH on return
  int32_t deliveredHeight = 0;
  int32_t sourceWidth = 0;      // srcW, srcH on return
  int32_t sourceHeight = 0;
  bool pixelsDelivered = false; // a usable buffer came back
  bool rowsTaken = false;       // the row sink took the picture
};
enum class DecodeVerdict { Rejected, Decoded, Filtered };
DecodeVerdict JudgeDecode(const DecodeAnswer& answer, bool pixelsRequested);

// The extensions a descriptor declares (null entries read as empty).
std::vector<std::string> DescriptorExtensions(const TInModule& module);

// The date taken of a module's picture record when it is a real date in the EXIF form
// (the text ends at its NUL or at the field's end), else empty.
std::string DateTakenText(const TInPictureInfo& info);

// The out-of-date module message.
std::string TooOldMessage(const char* moduleName);
// The memory-manager failure message.
std::string MemoryManagerFailureMessage(uintptr_t handle, uint32_t lastError);

}  // namespace kelv
