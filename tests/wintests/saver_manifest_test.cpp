// The saver's resources as the system reads them: the manifest (DPI-aware, so that the
// screen size and the bitmaps are real device pixels on scaled displays), and the
// dialogs' icon and the hyperlink pointer drawn by the build.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>

#include "common/owners_win.hpp"

namespace {

std::string SaverPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  dir.resize(dir.find_last_of('\\') + 1);
  return dir + "..\\dist\\kelvsaver.scr";
}

TEST(SaverManifest, DeclaresTheProgramDpiAware) {
  const std::string saver = SaverPath();
  if (GetFileAttributesA(saver.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << saver << " not built";
  ACTCTXA ctx{};
  ctx.cbSize = sizeof ctx;
  ctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  ctx.lpSource = saver.c_str();
  ctx.lpResourceName = MAKEINTRESOURCEA(1);
  HANDLE context = CreateActCtxA(&ctx);
  ASSERT_NE(context, INVALID_HANDLE_VALUE) << "the manifest does not parse, error " << GetLastError();
  WCHAR value[64] = {};
  SIZE_T written = 0;
  const BOOL found = QueryActCtxSettingsW(0, context, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                                          L"dpiAware", value, 64, &written);
  ReleaseActCtx(context);
  ASSERT_TRUE(found) << "no dpiAware setting, error " << GetLastError();
  EXPECT_EQ(std::wstring(value), L"true");
}

// The icon in both its sizes and the pointer with its hotspot at the finger tip: the
// drawn files are in formats the system's loader takes, not only windres.
TEST(SaverResources, DialogIconAndLinkPointerLoad) {
  const std::string saver = SaverPath();
  if (GetFileAttributesA(saver.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << saver << " not built";
  const kelv::win::UniqueLibrary module(LoadLibraryExA(saver.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module) << "error " << GetLastError();
  struct Loaded {
    bool found = false;
    ICONINFO info{};
    BITMAP colour{};
  };
  // Loads an icon or cursor resource and reads its colour bitmap; everything it made is
  // given back before it returns.
  const auto load = [&](int id, UINT type, int size) {
    Loaded got;
    const std::unique_ptr<std::remove_pointer_t<HICON>, decltype(&DestroyIcon)> image(
        static_cast<HICON>(LoadImageA(module.get(), MAKEINTRESOURCEA(id), type, size, size, 0)), &DestroyIcon);
    if (!image || !GetIconInfo(image.get(), &got.info)) return got;
    const kelv::win::UniqueBitmap colour(got.info.hbmColor);
    const kelv::win::UniqueBitmap mask(got.info.hbmMask);
    got.found = GetObjectA(colour.get(), sizeof got.colour, &got.colour) != 0;
    return got;
  };
  for (const int size : {32, 16}) {
    const Loaded icon = load(500, IMAGE_ICON, size);
    ASSERT_TRUE(icon.found) << "icon " << size;
    EXPECT_TRUE(icon.info.fIcon);
    EXPECT_EQ(icon.colour.bmWidth, size);
    EXPECT_EQ(icon.colour.bmHeight, size);
    EXPECT_EQ(icon.colour.bmBitsPixel, 32);
  }
  const Loaded pointer = load(1, IMAGE_CURSOR, 32);
  ASSERT_TRUE(pointer.found);
  EXPECT_FALSE(pointer.info.fIcon);
  EXPECT_EQ(pointer.colour.bmWidth, 32);
  EXPECT_EQ(pointer.info.xHotspot, 6u);
  EXPECT_EQ(pointer.info.yHotspot, 0u);
}

// Every shipped file names the company, the product and the program's one version.
TEST(SaverResources, EveryShippedFileCarriesTheVersion) {
  std::string dist = SaverPath();
  dist.resize(dist.find_last_of('\\') + 1);
  for (const char* name : {"kelvsaver.scr", "fastmm.dll", "stdformats.dll", "sysformats.dll", "modernformats.dll",
                           "basicfx.dll", "divingfx.dll", "stamp.dll"}) {
    SCOPED_TRACE(name);
    const std::string path = dist + name;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    auto text = [&](const char* key) {
      char* value = nullptr;
      UINT length = 0;
      const std::string query = std::string("\\StringFileInfo\\040904E4\\") + key;
      return VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value
                 ? std::string(value)
                 : std::string();
    };
    EXPECT_EQ(text("CompanyName"), "Tarnwick");
    EXPECT_EQ(text("ProductName"), "Kelvora");
    EXPECT_EQ(text("FileVersion"), "1.4.0.0");
    EXPECT_EQ(text("ProductVersion"), "1.4.0.0");
    EXPECT_FALSE(text("FileDescription").empty());
  }
}

}  // namespace
