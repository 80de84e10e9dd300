// The DLL layer: the GetInModule export, the about box and reading the file behind the
// host's handle.
#include <windows.h>

#include "decode_error.hpp"
#include "file_bytes.hpp"
#include "module.hpp"

namespace modernformats {

FileBytes::FileBytes(void* handle) {
  const auto file = static_cast<HANDLE>(handle);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0) throw DecodeError("Empty or unreadable file");
  if (static_cast<uint64_t>(size.QuadPart) > kMaxFileBytes) throw DecodeError("File too large");
  size_ = static_cast<size_t>(size.QuadPart);
  block_ = NewHeapBlock(size_);
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) throw DecodeError("Seek failed");
  size_t total = 0;
  while (total < size_) {
    DWORD got = 0;
    if (!ReadFile(file, block_.As<char>() + total, static_cast<DWORD>(size_ - total), &got, nullptr) ||
        got == 0)
      throw DecodeError("Read failed");
    total += got;
  }
}

void KELV_CDECL ShowAbout(KelvWindowHandle owner) {
  MessageBoxA(static_cast<HWND>(owner), AboutText(), "About plugin", MB_OK);
}

}  // namespace modernformats

extern "C" KELV_EXPORT TInModule* KELV_CDECL GetInModule(void) {
  return modernformats::DescribeModule();
}

extern "C" KELV_EXPORT int32_t KELV_CDECL GetPictureInfo(TInPictureInfo* info) {
  return modernformats::GetPictureInfo(info);
}
