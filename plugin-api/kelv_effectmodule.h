/* The effect-module interface: a plug-in DLL that draws picture transitions exports
 *     TEffectModule* GetEffectModule(void);
 * The records below are a binary contract between separately built files; see
 * CONTRACT.md beside this header for the 32-bit layout and its 64-bit form. */
#ifndef KELV_EFFECTMODULE_H
#define KELV_EFFECTMODULE_H

#include "kelv_callconv.h"

#define KELV_EFFECTMODULE_VERSION 0x00010400u

/* Per-effect flag bits */
#define KELV_FX_KEEPS_PICTURE 0x1u /* brings no new picture; never picked twice in a row */
#define KELV_FX_PRE_STEP 0x2u      /* RunEffect(0x10000 + index) before the change */
#define KELV_FX_PREPARE 0x4u       /* RunEffect(0x20000 + index) right before the run */

#define KELV_FX_COMMAND_PRE_STEP 0x10000
#define KELV_FX_COMMAND_PREPARE 0x20000

/* TEffectSetup.flags */
#define KELV_SETUP_HOST_HEAP 0x1u

#define KELV_FX_INSTANCES 11
#define KELV_FX_WAIT_RESTART (-17304.0f)

/* Module run-time errors raised by Setup. */
#define KELV_FX_ERROR_SHORT_RECORD 1001
#define KELV_FX_ERROR_MISSING_BITS 1002
/* On Windows a run-time error leaves Setup as a non-continuable structured exception
 * (never a C++ exception) with this code and the error number as its one parameter:
 * 0xE04603E9 for 1001, 0xE04603EA for 1002. */
#define KELV_FX_RUNTIME_ERROR_EXCEPTION(error) (0xE0460000u + (unsigned)(error))

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TEffectSetup TEffectSetup;

typedef void(KELV_CDECL* KelvRunEffectProc)(int32_t command, int32_t instance);
typedef int32_t(KELV_CDECL* KelvEffectSetupProc)(TEffectSetup* setup);
/* Wait(fraction done 0..1, instance): 1 when on schedule, 0 when late. */
typedef int32_t(KELV_CDECL* KelvWaitProc)(float fraction, int32_t instance);

/* Module descriptor; static storage in the module. The host copies it whole right after
 * GetEffectModule (the first 52 bytes on 32-bit x86). */
typedef struct TEffectModule {
  uint32_t interfaceVersion;          /* KELV_EFFECTMODULE_VERSION */
  uint32_t moduleVersion;             /* major, minor, release, build: most significant first */
  const char* name;
  int32_t reserved;                   /* 0 */
  KelvAboutProc about;
  const char* description;
  int32_t groupCount;
  const char* const* groupNames;
  KelvRunEffectProc* groupEntries;    /* filled by Setup */
  const uint8_t* effectCounts;
  const char* const* const* effectNames;
  KelvEffectSetupProc setup;
  const uint8_t* const* effectFlags;
} TEffectModule;

struct TEffectSetup {
  int32_t size;                /* sizeof(TEffectSetup) of the sender */
  uint32_t flags;              /* KELV_SETUP_* */
  int32_t width;               /* 0: only pointers are updated */
  int32_t height;
  void* nextBits;              /* next picture, stride width * 4 */
  void* screenBits;            /* screen bitmap, stride screenStride */
  int32_t reserved1;
  int32_t reserved2;
  int32_t screenStride;        /* 0 keeps the previous value */
  volatile int32_t* stopFlag;  /* nil keeps the previous pointer */
  KelvWaitProc wait;           /* nil keeps the previous callback */
  KelvGetMemProc getMem;
  KelvFreeMemProc freeMem;
  KelvReallocMemProc reallocMem;
  int32_t instance;            /* 0 .. 10 */
};

typedef TEffectModule*(KELV_CDECL* KelvGetEffectModuleProc)(void);

#ifdef __cplusplus
}
#endif

#if defined(__i386__) && defined(_WIN32)
#include <stddef.h>
#ifdef __cplusplus
#define KELV_FX_STATIC_ASSERT static_assert
#else
#define KELV_FX_STATIC_ASSERT _Static_assert
#endif
KELV_FX_STATIC_ASSERT(offsetof(TEffectModule, interfaceVersion) == 0, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectModule, moduleVersion) == 4, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectModule, name) == 8, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectModule, reserved) == 12, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectModule, about) == 16, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectModule, description) == 20, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectModule, groupCount) == 24, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectModule, groupNames) == 28, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectModule, groupEntries) == 32, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectModule, effectCounts) == 36, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectModule, effectNames) == 40, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectModule, setup) == 44, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectModule, effectFlags) == 48, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(sizeof(TEffectModule) == 52, "TEffectModule layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, size) == 0, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, flags) == 4, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, width) == 8, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, height) == 12, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, nextBits) == 16, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, screenBits) == 20, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, reserved1) == 24, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, reserved2) == 28, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, screenStride) == 32, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, stopFlag) == 36, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, wait) == 40, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, getMem) == 44, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, freeMem) == 48, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, reallocMem) == 52, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(offsetof(TEffectSetup, instance) == 56, "TEffectSetup layout");
KELV_FX_STATIC_ASSERT(sizeof(TEffectSetup) == 60, "TEffectSetup layout");
#endif

#endif
