// Stand-ins for the system's screen-saver password libraries, for the Wine tests:
//   PASSWORD.CPL  VerifyScreenSavePwd(owner) answers as KELV_FAKE_PASSWORD says ("accept";
//                 "dialog": a message box first, then accept; anything else: refuse) and
//                 logs each call with the owner's class;
//   MPR.DLL       PwdChangePasswordA(provider, owner, 0, 0) logs its arguments.
// The log is the file named by KELV_FAKE_PASSWORD_LOG, one line per call.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

void Log(const char* line) {
  char path[MAX_PATH];
  if (!GetEnvironmentVariableA("KELV_FAKE_PASSWORD_LOG", path, sizeof path)) return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s\n", line);
    std::fclose(f);
  }
}

}  // namespace

extern "C" {

#ifdef FAKE_PASSWORD_CPL
__declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND owner) {
  char answer[32] = {};
  GetEnvironmentVariableA("KELV_FAKE_PASSWORD", answer, sizeof answer);
  // "dialog": a window of the stand-in's own, owned by the saver, which accepts once closed.
  if (std::strcmp(answer, "dialog") == 0) {
    Log("verify dialog");
    MessageBoxA(owner, "Password", "Password", MB_OK);
    return TRUE;
  }
  const bool accept = std::strcmp(answer, "accept") == 0;
  char ownerClass[64] = {};
  if (owner) GetClassNameA(owner, ownerClass, sizeof ownerClass);
  char line[160];
  std::snprintf(line, sizeof line, "verify owner=%s cursor=%d answer=%s", ownerClass,
                [] { CURSORINFO c{}; c.cbSize = sizeof c; return GetCursorInfo(&c) && (c.flags & CURSOR_SHOWING) ? 1 : 0; }(),
                accept ? "accept" : "refuse");
  Log(line);
  return accept ? TRUE : FALSE;
}
#endif

#ifdef FAKE_MPR
__declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND owner, DWORD reserved1, LPVOID reserved2) {
  char line[160];
  std::snprintf(line, sizeof line, "change provider=%s owner=%llu reserved=%lu,%p", provider ? provider : "(null)",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(owner)),
                static_cast<unsigned long>(reserved1), reserved2);
  Log(line);
  return 0;
}
#endif

}  // extern "C"
