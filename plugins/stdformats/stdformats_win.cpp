// The DLL layer: the GetInModule export, the about box and reading the file behind the
// host's handle.
#include <windows.h>

#include <algorithm>

#include "byte_source.hpp"
#include "module.hpp"

namespace stdformats {

HostFileSource::HostFileSource(void* handle) : handle_(handle) {
  LARGE_INTEGER size{};
  if (GetFileSizeEx(static_cast<HANDLE>(handle_), &size) && size.QuadPart > 0)
    setSize(static_cast<uint64_t>(size.QuadPart));
}

size_t HostFileSource::readAt(uint64_t pos, void* dst, size_t n) {
  LARGE_INTEGER target{};
  target.QuadPart = static_cast<LONGLONG>(pos);
  if (!SetFilePointerEx(static_cast<HANDLE>(handle_), target, nullptr, FILE_BEGIN)) return 0;
  size_t total = 0;
  while (total < n) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - total, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(handle_), static_cast<char*>(dst) + total, chunk, &got,
                  nullptr) ||
        got == 0)
      break;
    total += got;
  }
  return total;
}

void KELV_CDECL ShowAbout(KelvWindowHandle owner) {
  MessageBoxA(static_cast<HWND>(owner), AboutText(), "About plugin", MB_OK);
}

}  // namespace stdformats

extern "C" KELV_EXPORT TInModule* KELV_CDECL GetInModule(void) {
  return stdformats::DescribeModule();
}

extern "C" KELV_EXPORT int32_t KELV_CDECL GetPictureInfo(TInPictureInfo* info) {
  return stdformats::GetPictureInfo(info);
}
