#include "saver/password_win.hpp"

#include <windows.h>

#include <cstdint>

#include "common/exception.hpp"
#include "common/owners_win.hpp"
#include "saver/saver_run_win.hpp"
#include "settings/settings_store.hpp"

namespace kelv {

namespace {

using VerifyScreenSavePwdFn = BOOL(WINAPI*)(HWND);
using PwdChangePasswordFn = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, LPVOID);

bool NtFamily() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// "ScreenSaveUsePassword" is on: its first four bytes, whatever its type, are not 0. A
// value longer than four bytes does not fit the read and counts as off.
bool UsePasswordValue() {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  win::UniqueKey key(raw);
  uint8_t data[4] = {0, 0, 0, 0};
  DWORD size = sizeof data;
  if (RegQueryValueExA(key.get(), "ScreenSaveUsePassword", nullptr, nullptr, data, &size) != ERROR_SUCCESS)
    return false;
  return (data[0] | data[1] | data[2] | data[3]) != 0;
}

}  // namespace

bool PasswordProtected() { return !NtFamily() && UsePasswordValue(); }

bool VerifyPassword(const SaverRun& run) {
  if (run.DialogPreview) return true;
  if (!UsePasswordValue()) return true;
  win::UniqueLibrary library(LoadLibraryA("PASSWORD.CPL"));
  if (!library) return true;
  auto verify = reinterpret_cast<VerifyScreenSavePwdFn>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), "VerifyScreenSavePwd")));
  if (!verify) return true;
  ShowCursor(TRUE);
  const bool accepted = verify(run.SaverWindow.load()) != FALSE;
  if (!accepted) ShowCursor(FALSE);  // an accepted password leaves it: the run's end balances it
  return accepted;
}

void ChangePassword(const std::string& ownerText) {
  const std::optional<int32_t> owner = ParseDecimalInt32(ownerText);
  if (!owner) throw EConvertError("'" + ownerText + "' is not a valid integer value");
  win::UniqueLibrary library(LoadLibraryA("MPR.DLL"));
  if (!library) return;
  auto change = reinterpret_cast<PwdChangePasswordFn>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), "PwdChangePasswordA")));
  if (change) change("SCRSAVE", reinterpret_cast<HWND>(static_cast<intptr_t>(*owner)), 0, nullptr);
}

}  // namespace kelv
