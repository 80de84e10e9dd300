// Names for the system's handle types that platform-independent code can hold and pass on
// without the system headers. The native build keeps them null.
#pragma once

#include <cstdint>

// The system headers (in their default strict form) declare each kind of window-system
// handle as a pointer to an incomplete struct of its own. Declaring the same structs here
// makes the names below the very types the Win32 functions take: no cast on the Windows
// side, and no handle of one kind passes for another. native_handles_win.hpp proves it.
struct HWND__;
struct HDC__;
struct HBITMAP__;
struct HFONT__;
struct HINSTANCE__;
struct HKEY__;

namespace kelv {

using NativeWindow = HWND__*;
using NativeDC = HDC__*;
using NativeBitmap = HBITMAP__*;
using NativeFont = HFONT__*;
using NativeModule = HINSTANCE__*;  // a loaded library: its module handle is its instance
using NativeKey = HKEY__*;

// Kernel objects (files among them) are plain untyped pointers in the system headers, so
// an open file gets an opaque type of its own that converts to nothing by accident; only
// platform files turn it into the system's handle and back. NativeFile{} is no file.
enum class NativeFile : std::uintptr_t {};
inline constexpr NativeFile kNoFile{};

}  // namespace kelv
