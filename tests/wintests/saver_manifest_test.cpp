// The saver's resources as the system reads them: the manifest (DPI-aware, so that the
// screen size and the bitmaps are real device pixels on scaled displays), and the
// dialogs' icon and the hyperlink pointer drawn by the build.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
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

// The saver's activation context, made from its manifest resource.
class SaverContext {
public:
  explicit SaverContext(const std::string& saver) {
    ACTCTXA ctx{};
    ctx.cbSize = sizeof ctx;
    ctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    ctx.lpSource = saver.c_str();
    ctx.lpResourceName = MAKEINTRESOURCEA(1);
    handle_ = CreateActCtxA(&ctx);
  }
  ~SaverContext() {
    if (handle_ != INVALID_HANDLE_VALUE) ReleaseActCtx(handle_);
  }
  SaverContext(const SaverContext&) = delete;
  SaverContext& operator=(const SaverContext&) = delete;
  HANDLE get() const { return handle_; }
  // A windowsSettings value; empty when the manifest has none.
  std::wstring Setting(const wchar_t* ns, const wchar_t* name) const {
    WCHAR value[64] = {};
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, handle_, ns, name, value, 64, &written)) return {};
    return value;
  }

private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

TEST(SaverManifest, DeclaresTheProgramDpiAware) {
  const std::string saver = SaverPath();
  if (GetFileAttributesA(saver.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << saver << " not built";
  const SaverContext context(saver);
  ASSERT_NE(context.get(), INVALID_HANDLE_VALUE) << "the manifest does not parse, error " << GetLastError();
  EXPECT_EQ(context.Setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"), L"true");
}

// UTF-8 as the program's code page, and the systems it runs on from Windows 7 to 11 (the
// Windows 10 one is what makes Windows 10 and 11 give their own version, not 6.2).
TEST(SaverManifest, ChoosesUtf8AndNamesTheSupportedSystems) {
  const std::string saver = SaverPath();
  if (GetFileAttributesA(saver.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << saver << " not built";
  const SaverContext context(saver);
  ASSERT_NE(context.get(), INVALID_HANDLE_VALUE) << "the manifest does not parse, error " << GetLastError();
  EXPECT_EQ(context.Setting(L"http://schemas.microsoft.com/SMI/2019/WindowsSettings", L"activeCodePage"), L"UTF-8");

  // The compatibility section as the loader reads it: a count, then one element per
  // system, each starting with its GUID (the element's size differs between versions of
  // the system, so each GUID is looked for in the whole answer).
  alignas(8) BYTE buffer[1024] = {};
  SIZE_T written = 0;
  ASSERT_TRUE(QueryActCtxW(0, context.get(), nullptr, 6 /* CompatibilityInformationInActivationContext */, buffer,
                           sizeof buffer, &written))
      << GetLastError();
  EXPECT_EQ(*reinterpret_cast<const DWORD*>(buffer), 4u);
  const GUID systems[] = {
      {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}},  // Windows 7
      {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}},  // Windows 8
      {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}},  // Windows 8.1
      {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}},  // Windows 10 and 11
  };
  const std::string answer(reinterpret_cast<const char*>(buffer), std::min<SIZE_T>(written, sizeof buffer));
  for (const GUID& system : systems) {
    EXPECT_NE(answer.find(std::string(reinterpret_cast<const char*>(&system), sizeof system)), std::string::npos)
        << std::hex << system.Data1;
  }
  // The running system, as such a program sees it: never Windows 8's 6.2 build 9200.
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  ULONG_PTR cookie = 0;
  ASSERT_TRUE(ActivateActCtx(context.get(), &cookie));
  GetVersionExA(&version);
  DeactivateActCtx(0, cookie);
  EXPECT_FALSE(version.dwMajorVersion == 6 && version.dwMinorVersion == 2)
      << version.dwMajorVersion << "." << version.dwMinorVersion << " build " << version.dwBuildNumber;
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
