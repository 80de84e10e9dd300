// Plug-in libraries for the loader tests, one source built several times: FAKE_KIND picks
// what the library offers. Every call the host makes is written as a line to the file
// named by the environment variable KELV_FAKE_LOG, so the tests see what arrived.
#include <windows.h>

#include <cstdio>

#include "kelv_effectmodule.h"
#include "kelv_inmodule.h"

#define FAKE_WRONG_VERSION 1  // right record, interface version one step old
#define FAKE_TOO_OLD 2        // right version, never acknowledges the options
#define FAKE_NOTHING 3        // exports neither entry
#define FAKE_EFFECT 4         // one effect module
#define FAKE_RELEASE 5        // input module with flags 8 | 0x10000: gets the release notice
#define FAKE_BOTH 6           // input and effect module in one library

namespace {

void Log(const char* format, unsigned value) {
  char path[MAX_PATH];
  if (!GetEnvironmentVariableA("KELV_FAKE_LOG", path, MAX_PATH)) return;
  FILE* f = std::fopen(path, "a");
  if (!f) return;
  std::fprintf(f, "%s ", FAKE_NAME);
  std::fprintf(f, format, value);
  std::fprintf(f, "\n");
  std::fclose(f);
}

#if FAKE_KIND != FAKE_NOTHING
const char* const kExtensions[] = {".fak"};
const char* const kFormatNames[] = {"Fake"};

void KELV_CDECL Decode(void*, int32_t* wantW, int32_t* wantH, int32_t* srcW, int32_t* srcH,
                       void** buffer) {
  *wantW = *wantH = *srcW = *srcH = 0;
  if (buffer) *buffer = nullptr;
}
KelvDecodeProc g_decoders[] = {reinterpret_cast<KelvDecodeProc>(&Decode)};

int32_t KELV_CDECL SetOptions(TInModuleOptions* options) {
  Log("options %#x", options->flags);
  if (FAKE_KIND != FAKE_TOO_OLD) options->flags &= ~KELV_OPT_SIX_ARG;
  return 1;
}

TInModule g_in;

const char* const kGroups[] = {"Group one", "Group two"};
const uint8_t kCounts[] = {2, 3};
const char* const kNamesOne[] = {"e1", "e2", "-", "-"};
const char* const kNamesTwo[] = {"f1", "f2", "f3", "-"};
const char* const* const kEffectNames[] = {kNamesOne, kNamesTwo};
const uint8_t kFlagsOne[] = {0, 1, 0, 0};
const uint8_t kFlagsTwo[] = {2, 4, 0, 0};
const uint8_t* const kEffectFlags[] = {kFlagsOne, kFlagsTwo};
KelvRunEffectProc g_entries[2];
int32_t KELV_CDECL Setup(TEffectSetup*) { return 1; }
TEffectModule g_fx;
#endif

}  // namespace

#if FAKE_KIND == FAKE_WRONG_VERSION || FAKE_KIND == FAKE_TOO_OLD || FAKE_KIND == FAKE_RELEASE || \
    FAKE_KIND == FAKE_BOTH
KELV_EXTERN_C KELV_EXPORT TInModule* KELV_CDECL GetInModule() {
  Log("GetInModule%.0u", 0);
  g_in.interfaceVersion = FAKE_KIND == FAKE_WRONG_VERSION ? 0x00010301u : KELV_INMODULE_VERSION;
  g_in.moduleVersion = 0x01020304;
  g_in.name = FAKE_NAME;
  g_in.flags = KELV_IN_HAS_OPTIONS | (FAKE_KIND == FAKE_RELEASE ? KELV_IN_RESERVED_8 : 0u);
  g_in.description = "Fake module\r\nfor tests\r\nonly";
  g_in.formatCount = 1;
  g_in.extensions = kExtensions;
  g_in.formatNames = kFormatNames;
  g_in.decoders = g_decoders;
  g_in.setOptions = &SetOptions;
  return &g_in;
}
#endif

#if FAKE_KIND == FAKE_EFFECT || FAKE_KIND == FAKE_BOTH
KELV_EXTERN_C KELV_EXPORT TEffectModule* KELV_CDECL GetEffectModule() {
  Log("GetEffectModule%.0u", 0);
  g_fx.interfaceVersion = KELV_EFFECTMODULE_VERSION;
  g_fx.moduleVersion = 0x01000205;
  g_fx.name = FAKE_NAME;
  g_fx.description = "Fake effects";
  g_fx.groupCount = 2;
  g_fx.groupNames = kGroups;
  g_fx.groupEntries = g_entries;
  g_fx.effectCounts = kCounts;
  g_fx.effectNames = kEffectNames;
  g_fx.setup = &Setup;
  g_fx.effectFlags = kEffectFlags;
  return &g_fx;
}
#endif

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) Log("unloaded%.0u", 0);
  return TRUE;
}
