// The Win32 side of native_handles.hpp: proof that the portable names are the system's own
// handle types, and the one place where an open file's opaque value becomes a HANDLE.
#pragma once

#include <windows.h>

#include <type_traits>

#include "common/native_handles.hpp"

static_assert(std::is_same_v<kelv::NativeWindow, HWND>);
static_assert(std::is_same_v<kelv::NativeDC, HDC>);
static_assert(std::is_same_v<kelv::NativeBitmap, HBITMAP>);
static_assert(std::is_same_v<kelv::NativeFont, HFONT>);
static_assert(std::is_same_v<kelv::NativeModule, HMODULE>);
static_assert(std::is_same_v<kelv::NativeModule, HINSTANCE>);
static_assert(std::is_same_v<kelv::NativeKey, HKEY>);
static_assert(sizeof(kelv::NativeFile) == sizeof(HANDLE));

namespace kelv::win {

// No file is null on this side too: callers map INVALID_HANDLE_VALUE to null first.
inline HANDLE ToHandle(NativeFile file) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(file)); }
inline NativeFile ToNativeFile(HANDLE handle) { return NativeFile{reinterpret_cast<std::uintptr_t>(handle)}; }

}  // namespace kelv::win
