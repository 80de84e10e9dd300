// The saver's manifest as the system's loader reads it: DPI-aware, so that the screen
// size and the bitmaps are real device pixels on scaled displays.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
