// sysformats.dll: GIF, TIFF, PNG and BMP through the platform's imaging library (GDI+),
// taken by name at run time through its flat interface.
#include <windows.h>
#include <objidl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/owners_win.hpp"
#include "gdiplus_search.hpp"
#include "kelv_inmodule.h"
#include "plugincommon/in_module_descriptor.hpp"
#include "sysformats_decode.hpp"

namespace {

// ---- The flat GDI+ interface, as far as this module uses it --------------------------

using GpStatus = int;
constexpr GpStatus kOk = 0;
constexpr UINT kLockRead = 1;          // ImageLockModeRead
constexpr UINT kLockUserBuffer = 4;    // ImageLockModeUserInputBuf
constexpr INT kFormat24bppRgb = 0x00021808;
constexpr INT kFormat32bppRgb = 0x00022009;

struct StartupInput {
  UINT32 version;
  void* debugCallback;
  BOOL suppressBackgroundThread;
  BOOL suppressExternalCodecs;
};
struct GpRect {
  INT x, y, width, height;
};
struct LockedData {
  UINT width;
  UINT height;
  INT stride;
  INT pixelFormat;
  void* scan0;
  UINT_PTR reserved;
};

using StartupProc = GpStatus(WINAPI*)(ULONG_PTR* token, const StartupInput* input, void* output);
using ShutdownProc = void(WINAPI*)(ULONG_PTR token);
using LoadImageProc = GpStatus(WINAPI*)(const WCHAR* fileName, void** image);
using LoadStreamProc = GpStatus(WINAPI*)(IStream* stream, void** image);
using GetSideProc = GpStatus(WINAPI*)(void* image, UINT* value);
using LockBitsProc = GpStatus(WINAPI*)(void* bitmap, const GpRect* rect, UINT flags, INT format,
                                       LockedData* data);
using UnlockBitsProc = GpStatus(WINAPI*)(void* bitmap, LockedData* data);
using DisposeProc = GpStatus(WINAPI*)(void* image);
struct PropertyItem {
  ULONG id;  // PROPID
  ULONG length;
  WORD type;
  void* value;
};
constexpr WORD kPropertyTypeAscii = 2;
using GetPropertySizeProc = GpStatus(WINAPI*)(void* image, ULONG id, UINT* size);
using GetPropertyProc = GpStatus(WINAPI*)(void* image, ULONG id, UINT size, PropertyItem* item);

struct GdiplusEntries {
  StartupProc startup = nullptr;
  ShutdownProc shutdown = nullptr;
  LoadImageProc loadImage = nullptr;
  GetSideProc width = nullptr;
  GetSideProc height = nullptr;
  LockBitsProc lockBits = nullptr;
  UnlockBitsProc unlockBits = nullptr;
  DisposeProc dispose = nullptr;
  // Optional: without it pictures are loaded from their files, and without the two property
  // entries pictures have no date taken from the library.
  LoadStreamProc loadStream = nullptr;
  GetPropertySizeProc propertySize = nullptr;
  GetPropertyProc property = nullptr;
  bool complete() const {
    return startup && shutdown && loadImage && width && height && lockBits && unlockBits && dispose;
  }
};

template <typename Proc>
Proc ExportOf(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

using kelv::win::UniqueFind;
using kelv::win::UniqueKey;
using kelv::win::UniqueLibrary;

// ---- Module state -----------------------------------------------------------------

HINSTANCE g_self = nullptr;

struct ModuleState {
  UniqueLibrary library;
  GdiplusEntries gdiplus;
  ULONG_PTR token = 0;
  sysformats::ModuleOptions options;
  kelv::plugin::DateTakenText dateTaken{};  // of the last decode, for GetPictureInfo
};
ModuleState g_module;

// Shuts the imaging library down and lets it go.
void ReleaseImaging() {
  if (g_module.gdiplus.shutdown && g_module.token) g_module.gdiplus.shutdown(g_module.token);
  g_module.token = 0;
  g_module.gdiplus = {};
  g_module.library.reset();
}

// ---- GDI+ behind the decoder's view --------------------------------------------------

// The largest property item read (a date is 20 bytes).
constexpr UINT kMaxProperty = 4096;

// A file's bytes in one movable memory block, the stream the library reads them through,
// and the block's address while the module looks at them.
class MemoryFile {
public:
  MemoryFile() = default;
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  ~MemoryFile() {
    if (bytes_) ::GlobalUnlock(block_);
    if (stream_) {
      stream_->Release();  // frees the block too
    } else if (block_) {
      ::GlobalFree(block_);
    }
  }
  // Reads the whole file; false when it cannot be read or is too large to hold.
  bool Read(const char* fileName) {
    kelv::win::UniqueFile file(::CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > kMaxFileInMemory)
      return false;
    size_ = static_cast<size_t>(size.QuadPart);
    block_ = ::GlobalAlloc(GMEM_MOVEABLE, size_);
    if (!block_) return false;
    bytes_ = static_cast<uint8_t*>(::GlobalLock(block_));
    if (!bytes_) return false;
    for (size_t done = 0; done < size_;) {
      DWORD got = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size_ - done, 1u << 24));
      if (!::ReadFile(file.get(), bytes_ + done, chunk, &got, nullptr) || got == 0) return false;
      done += got;
    }
    return ::CreateStreamOnHGlobal(block_, TRUE, &stream_) == S_OK && stream_;
  }
  IStream* stream() const { return stream_; }
  const uint8_t* bytes() const { return bytes_; }
  size_t size() const { return size_; }

private:
  // Beyond this the picture is read by the library from its file (without the bytes'
  // date): the library's own decode of such a file needs far more memory anyway.
  static constexpr LONGLONG kMaxFileInMemory = 256LL << 20;
  HGLOBAL block_ = nullptr;
  IStream* stream_ = nullptr;
  uint8_t* bytes_ = nullptr;
  size_t size_ = 0;
};

class GdiplusPicture final : public sysformats::Picture {
public:
  // `file`, when given, holds the bytes the image was loaded from: it must outlive the image.
  GdiplusPicture(const GdiplusEntries& api, void* image, std::unique_ptr<MemoryFile> file)
      : api_(api), image_(image), file_(std::move(file)) {}
  ~GdiplusPicture() override {
    Unlock();
    api_.dispose(image_);
  }
  bool FileBytes(const uint8_t*& data, size_t& size) override {
    if (!file_) return false;
    data = file_->bytes();
    size = file_->size();
    return true;
  }
  bool Size(uint32_t& width, uint32_t& height) override {
    UINT w = 0, h = 0;
    if (api_.width(image_, &w) != kOk || api_.height(image_, &h) != kOk) return false;
    width = w;
    height = h;
    return true;
  }
  bool LockInto(int32_t x, int32_t y, int32_t width, int32_t height, sysformats::LockLayout layout,
                int32_t stride, void* target) override {
    Unlock();
    GpRect rect{x, y, width, height};
    LockedData data{};
    data.width = static_cast<UINT>(width);
    data.height = static_cast<UINT>(height);
    data.stride = stride;
    data.pixelFormat = layout == sysformats::LockLayout::Rgb32 ? kFormat32bppRgb : kFormat24bppRgb;
    data.scan0 = target;
    if (api_.lockBits(image_, &rect, kLockRead | kLockUserBuffer, data.pixelFormat, &data) != kOk)
      return false;
    locked_ = data;
    isLocked_ = true;
    return true;
  }
  void Unlock() override {
    if (!isLocked_) return;
    isLocked_ = false;
    api_.unlockBits(image_, &locked_);
  }
  bool PropertyText(uint32_t tag, std::string& text) override {
    if (!api_.propertySize || !api_.property) return false;
    UINT size = 0;
    if (api_.propertySize(image_, tag, &size) != kOk || size <= sizeof(PropertyItem) || size > kMaxProperty)
      return false;
    // The item and its value in one block; pointer-aligned for the item's fields.
    std::vector<void*> block((size + sizeof(void*) - 1) / sizeof(void*));
    auto* item = reinterpret_cast<PropertyItem*>(block.data());
    if (api_.property(image_, tag, size, item) != kOk || item->type != kPropertyTypeAscii || !item->value)
      return false;
    const auto* begin = static_cast<const char*>(item->value);
    const auto* blockEnd = reinterpret_cast<const char*>(block.data()) + size;
    const char* inside = reinterpret_cast<const char*>(block.data());
    // The value must lie inside the block the library filled.
    if (begin < inside || begin > blockEnd || item->length > static_cast<ULONG>(blockEnd - begin)) return false;
    text.assign(begin, item->length);
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return true;
  }

private:
  const GdiplusEntries& api_;
  void* image_;
  std::unique_ptr<MemoryFile> file_;  // destroyed after the image (members go in reverse)
  LockedData locked_{};
  bool isLocked_ = false;
};

class GdiplusImaging final : public sysformats::Imaging {
public:
  std::unique_ptr<sysformats::Picture> Open(const char* fileName) override {
    const GdiplusEntries& api = g_module.gdiplus;
    if (!api.complete()) return nullptr;
    int chars = ::MultiByteToWideChar(CP_ACP, 0, fileName, -1, nullptr, 0);
    if (chars <= 0) return nullptr;
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    if (::MultiByteToWideChar(CP_ACP, 0, fileName, -1, wide.data(), chars) != chars) return nullptr;
    // The file is read once, into memory: the library decodes from there and the module
    // looks there for the date taken that the library does not report (a PNG's EXIF chunk).
    void* image = nullptr;
    auto file = std::make_unique<MemoryFile>();
    if (api.loadStream && file->Read(fileName)) {
      if (api.loadStream(file->stream(), &image) == kOk && image)
        return std::make_unique<GdiplusPicture>(api, image, std::move(file));
      // What the library cannot take from memory it may still take from the file.
      image = nullptr;
    }
    file.reset();
    if (api.loadImage(wide.c_str(), &image) != kOk || !image) return nullptr;
    return std::make_unique<GdiplusPicture>(api, image, nullptr);
  }
};

// ---- Finding the library -----------------------------------------------------------

std::optional<std::string> ReadString(HKEY key, const char* name) {
  DWORD type = 0, size = 0;
  LONG rc = ::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  if (rc == ERROR_FILE_NOT_FOUND) return std::string();
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
  std::string text(size, '\0');
  if (size && ::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()),
                                 &size) != ERROR_SUCCESS)
    return std::nullopt;
  text.resize(std::min<size_t>(size, text.size()));
  if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text;
}

class WinSearchPlatform final : public sysformats::SearchPlatform {
public:
  sysformats::Library Load(const std::string& nameOrPath) override {
    HMODULE module = ::LoadLibraryA(nameOrPath.c_str());
    return reinterpret_cast<uintptr_t>(module) > 32 ? module : nullptr;
  }
  void Free(sysformats::Library library) override { ::FreeLibrary(library); }
  bool FileExists(const std::string& path) override {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  std::string OwnFolder() override {
    char path[MAX_PATH + 1] = {};
    DWORD n = ::GetModuleFileNameA(g_self, path, MAX_PATH);
    std::string full(path, n);
    size_t cut = full.find_last_of('\\');
    return cut == std::string::npos ? std::string() : full.substr(0, cut + 1);
  }
  std::optional<std::string> ReadOwnValue(const char* name) override {
    UniqueKey key = OwnKey();
    if (!key) return std::nullopt;
    return ReadString(key.get(), name);
  }
  bool WriteOwnValue(const char* name, const std::string& value) override {
    UniqueKey key = OwnKey();
    return key && ::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
  }
  bool MachineKeyExists(const std::string& path) override { return static_cast<bool>(MachineKey(path)); }
  std::optional<std::string> ReadMachineValue(const std::string& path, const char* name) override {
    UniqueKey key = MachineKey(path);
    if (!key) return std::nullopt;
    return ReadString(key.get(), name);
  }
  std::vector<sysformats::FolderEntry> ListFolder(const std::string& folder) override {
    std::vector<sysformats::FolderEntry> entries;
    WIN32_FIND_DATAA data;
    HANDLE found = ::FindFirstFileA((folder + "*.*").c_str(), &data);
    if (found == INVALID_HANDLE_VALUE) return entries;
    UniqueFind search(found);
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      entries.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (::FindNextFileA(found, &data));
    return entries;
  }

private:
  static UniqueKey OwnKey() {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, sysformats::kOwnKey, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                          nullptr, &key, nullptr) != ERROR_SUCCESS)
      return UniqueKey();
    return UniqueKey(key);
  }
  static UniqueKey MachineKey(const std::string& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return UniqueKey();
    return UniqueKey(key);
  }
};

// Finds, binds and starts the imaging library unless that is already done.
bool StartImaging() {
  if (g_module.library) return true;
  WinSearchPlatform platform;
  HMODULE module = sysformats::FindImagingLibrary(platform);
  if (!module) return false;
  UniqueLibrary library(module);
  GdiplusEntries api;
  api.startup = ExportOf<StartupProc>(module, "GdiplusStartup");
  api.shutdown = ExportOf<ShutdownProc>(module, "GdiplusShutdown");
  api.loadImage = ExportOf<LoadImageProc>(module, "GdipLoadImageFromFile");
  api.width = ExportOf<GetSideProc>(module, "GdipGetImageWidth");
  api.height = ExportOf<GetSideProc>(module, "GdipGetImageHeight");
  api.lockBits = ExportOf<LockBitsProc>(module, "GdipBitmapLockBits");
  api.unlockBits = ExportOf<UnlockBitsProc>(module, "GdipBitmapUnlockBits");
  api.dispose = ExportOf<DisposeProc>(module, "GdipDisposeImage");
  api.loadStream = ExportOf<LoadStreamProc>(module, "GdipLoadImageFromStream");
  api.propertySize = ExportOf<GetPropertySizeProc>(module, "GdipGetPropertyItemSize");
  api.property = ExportOf<GetPropertyProc>(module, "GdipGetPropertyItem");
  // A library lacking one of the entries cannot serve; calling a missing one would crash.
  if (!api.complete()) return false;
  StartupInput input{1, nullptr, FALSE, FALSE};
  ULONG_PTR token = 0;
  // The module counts as available whatever the start-up returns.
  if (api.startup(&token, &input, nullptr) != kOk) token = 0;
  g_module.library = std::move(library);
  g_module.gdiplus = api;
  g_module.token = token;
  return true;
}

// ---- The descriptor and the entries -------------------------------------------------

const char* const kExtensions[] = {".gif", ".tiff", ".tif", ".png", ".bmp"};
const char* const kFormatNames[] = {"GIF", "TIFF", "TIFF", "PNG", "Bitmap"};
constexpr int kFormatCount = 5;

const char kDescription[] =
    "GDIPlus formats plugin ver 1.0.0.8\r\n"
    "Made by Tarnwick for Kelvora\r\n"
    "Copyright (c) Tarnwick";
const char kAboutText[] =
    "This is standard image formats plugin\r\n"
    "Now support formats:\r\n"
    "      TIFF (.tif,.tiff)\r\n"
    "      GIF (.gif)\r\n"
    "      PNG (.png)\r\n"
    "      Bitmap (.bmp)\r\n"
    "\r\n"
    "Made by Tarnwick for Kelvora";

void KELV_CDECL Decode(void* file, int32_t* wantW, int32_t* wantH, int32_t* srcW, int32_t* srcH,
                       void** buffer) noexcept {
  GdiplusImaging imaging;
  sysformats::DecodePicture(&imaging, g_module.options, static_cast<const char*>(file), wantW, wantH,
                            srcW, srcH, buffer, &g_module.dateTaken);
}

// Both tables hold the six-argument entry.
KelvDecodeProc g_decoders[kFormatCount];

void FillDecoders() {
  for (KelvDecodeProc& entry : g_decoders) entry = reinterpret_cast<KelvDecodeProc>(&Decode);
}

void KELV_CDECL About(KelvWindowHandle owner) noexcept {
  ::MessageBoxA(static_cast<HWND>(owner), kAboutText, "About plugin", MB_OK);
}

int32_t KELV_CDECL SetOptions(TInModuleOptions* options) noexcept {
  try {
    bool release = false;
    int32_t result = sysformats::ApplyOptions(g_module.options, options, release);
    if (release) ReleaseImaging();
    return result;
  } catch (...) {
    return 0;
  }
}

TInModule g_descriptor;

}  // namespace

KELV_EXTERN_C KELV_EXPORT TInModule* KELV_CDECL GetInModule() {
  bool available = false;
  try {
    available = StartImaging();
  } catch (...) {
    available = false;
  }
  g_module.options = {};
  FillDecoders();
  return kelv::plugin::FillInModule(
      g_descriptor,
      {.interfaceVersion = available ? KELV_INMODULE_VERSION : KELV_INMODULE_VERSION_UNAVAILABLE,
       .moduleVersion = 0x01000008,
       .name = "GDI+ image formats",
       .flags = KELV_IN_HAS_OPTIONS | KELV_IN_RESERVED_8 | KELV_IN_OPENS_BY_NAME,
       .about = &About,
       .description = kDescription,
       .setOptions = &SetOptions},
      kExtensions, kFormatNames, g_decoders);
}

KELV_EXTERN_C KELV_EXPORT int32_t KELV_CDECL GetPictureInfo(TInPictureInfo* info) {
  return kelv::plugin::FillPictureInfo(info, g_module.dateTaken);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_self = instance;
    ::DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    // Without a release notice the imaging library is still held here. Freeing a library
    // under the loader's lock is not allowed; it goes with the process instead.
    (void)g_module.library.release();
  }
  return TRUE;
}
