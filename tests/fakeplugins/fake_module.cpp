// Plug-in libraries for the loader tests, one source built several times: FAKE_KIND picks
// what the library offers. Every call the host makes is written as a line to the file
// named by the environment variable KELV_FAKE_LOG, so the tests see what arrived.
//
// FAKE_FAULT is an effect module whose one effect fails the way KELV_FAKE_FAULT says,
// after drawing the top half of the next picture: "write" stores to address 0x10,
// "divide" divides an integer by zero, "exception" raises a structured exception of the
// module's own (kFakeExceptionCode). With KELV_FAKE_FAULT_AT=prestep the effect asks for
// a pre-step and fails there instead, before drawing anything. When KELV_FAKE_GO names a
// file, the run holds at the halfway frame until that file exists (at most 30 s), so a
// test can look at the screen before the fault.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "kelv_effectmodule.h"
#include "kelv_inmodule.h"

#define FAKE_WRONG_VERSION 1  // right record, interface version one step old
#define FAKE_TOO_OLD 2        // right version, never acknowledges the options
#define FAKE_NOTHING 3        // exports neither entry
#define FAKE_EFFECT 4         // one effect module
#define FAKE_RELEASE 5        // input module with flags 8 | 0x10000: gets the release notice
#define FAKE_BOTH 6           // input and effect module in one library
#define FAKE_FAULT 7          // effect module whose effect faults

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

#if FAKE_KIND != FAKE_NOTHING && FAKE_KIND != FAKE_FAULT
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

#if FAKE_KIND == FAKE_FAULT
namespace {

constexpr DWORD kFakeExceptionCode = 0xE0FA0017;

const char* const kFaultGroups[] = {"Faults"};
const uint8_t kFaultCounts[] = {1};
const char* const kFaultNames[] = {"Half then fault", "-", "-", "-"};
const char* const* const kFaultEffectNames[] = {kFaultNames};
uint8_t g_faultFlags[] = {0, 0, 0, 0};
const uint8_t* const kFaultFlags[] = {g_faultFlags};
KelvRunEffectProc g_faultEntries[1];
TEffectModule g_faultFx;

// Instance 0 only: the host uses no other.
struct Surface {
  int32_t width = 0;
  int32_t height = 0;
  uint8_t* next = nullptr;
  uint8_t* screen = nullptr;
  int32_t stride = 0;
  volatile int32_t* stop = nullptr;
  KelvWaitProc wait = nullptr;
} g_surface;

bool EnvIs(const char* name, const char* value) {
  char text[64];
  const DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
  return n > 0 && n < sizeof text && lstrcmpiA(text, value) == 0;
}

bool Stopped() { return g_surface.stop && *g_surface.stop != 0; }

// Kept out of line so that the faulting instruction lies in this function of the module.
__attribute__((noinline)) void Fault() {
  if (EnvIs("KELV_FAKE_FAULT", "write")) {
    volatile uintptr_t address = 0x10;
    *reinterpret_cast<volatile int32_t*>(address) = 1;
  } else if (EnvIs("KELV_FAKE_FAULT", "divide")) {
    volatile int32_t zero = 0;
    volatile int32_t quotient = 100 / zero;
    (void)quotient;
  } else if (EnvIs("KELV_FAKE_FAULT", "exception")) {
    const ULONG_PTR detail[] = {17};
    RaiseException(kFakeExceptionCode, EXCEPTION_NONCONTINUABLE, 1, detail);
  }
}

// Presents the halfway frame and holds there until the test's go file exists.
void HoldAtHalfway() {
  char go[MAX_PATH];
  if (!GetEnvironmentVariableA("KELV_FAKE_GO", go, MAX_PATH)) return;
  Log("halfway%.0u", 0);
  for (int i = 0; i < 1500 && !Stopped(); ++i) {
    if (GetFileAttributesA(go) != INVALID_FILE_ATTRIBUTES) return;
    if (g_surface.wait) g_surface.wait(0.5f, 0);
    Sleep(20);
  }
}

void KELV_CDECL RunFault(int32_t command, int32_t) {
  Log("run %#x", static_cast<unsigned>(command));
  if (command & KELV_FX_COMMAND_PRE_STEP) {
    Fault();
    return;
  }
  if (command & KELV_FX_COMMAND_PREPARE) return;
  const Surface& s = g_surface;
  if (!s.next || !s.screen || s.height <= 0) return;
  // The top half of the next picture, eight rows per step.
  const int32_t half = s.height / 2;
  for (int32_t row = 0; row < half; ++row) {
    std::memcpy(s.screen + static_cast<size_t>(row) * s.stride, s.next + static_cast<size_t>(row) * s.width * 4,
                static_cast<size_t>(s.width) * 4);
    if (row % 8 == 7 || row == half - 1) {
      if (s.wait) s.wait(0.5f * static_cast<float>(row + 1) / static_cast<float>(half), 0);
      if (Stopped()) return;
    }
  }
  HoldAtHalfway();
  if (Stopped()) return;
  Fault();
}

int32_t KELV_CDECL FaultSetup(TEffectSetup* record) {
  if (!record || record->size == 0) return 0;
  if (record->size < static_cast<int32_t>(sizeof(TEffectSetup))) {
    const ULONG_PTR error[] = {KELV_FX_ERROR_SHORT_RECORD};
    RaiseException(KELV_FX_RUNTIME_ERROR_EXCEPTION(KELV_FX_ERROR_SHORT_RECORD), EXCEPTION_NONCONTINUABLE, 1, error);
  }
  Surface& s = g_surface;
  if (record->width && record->height) {
    s.width = record->width;
    s.height = record->height;
    s.stride = record->width * 4;
  }
  if (record->nextBits) s.next = static_cast<uint8_t*>(record->nextBits);
  if (record->screenBits) s.screen = static_cast<uint8_t*>(record->screenBits);
  if (record->screenStride) s.stride = record->screenStride;
  if (record->stopFlag) s.stop = record->stopFlag;
  if (record->wait) s.wait = record->wait;
  g_faultEntries[0] = &RunFault;
  Log("setup %u", static_cast<unsigned>(record->width));
  return 1;
}

}  // namespace

KELV_EXTERN_C KELV_EXPORT TEffectModule* KELV_CDECL GetEffectModule() {
  Log("GetEffectModule%.0u", 0);
  g_faultFlags[0] = EnvIs("KELV_FAKE_FAULT_AT", "prestep") ? KELV_FX_PRE_STEP : 0;
  g_faultFx.interfaceVersion = KELV_EFFECTMODULE_VERSION;
  g_faultFx.moduleVersion = 0x01000205;
  g_faultFx.name = FAKE_NAME;
  g_faultFx.description = "Effect that faults\r\nfor tests only";
  g_faultFx.groupCount = 1;
  g_faultFx.groupNames = kFaultGroups;
  g_faultFx.groupEntries = g_faultEntries;
  g_faultFx.effectCounts = kFaultCounts;
  g_faultFx.effectNames = kFaultEffectNames;
  g_faultFx.setup = &FaultSetup;
  g_faultFx.effectFlags = kFaultFlags;
  return &g_faultFx;
}
#endif

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
