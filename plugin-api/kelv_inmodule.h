/* The input-module interface: a plug-in DLL that decodes picture files exports
 *     TInModule* GetInModule(void);
 * and may export (found by name, optional)
 *     int32_t GetPictureInfo(TInPictureInfo* info);
 * The records below are a binary contract between separately built files; see
 * CONTRACT.md beside this header for the 32-bit layout and its 64-bit form. */
#ifndef KELV_INMODULE_H
#define KELV_INMODULE_H

#include "kelv_callconv.h"

#define KELV_INMODULE_VERSION 0x00010302u
/* sysformats reports this version when its imaging library cannot start. */
#define KELV_INMODULE_VERSION_UNAVAILABLE 0x000FF000u

/* TInModule.flags */
#define KELV_IN_OPENS_BY_NAME 0x2u   /* decoders get a file name, not a host file record */
#define KELV_IN_RESERVED_8 0x8u      /* set by sysformats; no host use */
#define KELV_IN_HAS_OPTIONS 0x10000u /* the SetOptions entry is present */

/* TInModuleOptions.flags */
#define KELV_OPT_SIX_ARG 0x1u       /* host uses the six-argument decode; cleared to acknowledge */
#define KELV_OPT_IGNORE_EXIF 0x2u   /* do not turn photos by their EXIF orientation */
#define KELV_OPT_FILL 0x4u          /* JPEG pre-scaling keeps both sides >= wanted size */
#define KELV_OPT_RELEASE 0x10000u   /* release notification, alone */

/* Row-sink first call: low byte = EXIF orientation 1..8, bit 8 = rows are B,G,R. */
#define KELV_ROWSINK_BGR 0x100
#define KELV_ROWSINK_HEADER (-1)

#define KELV_HOSTFILE_MAGIC 0x7FFFFFFA

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TInModuleOptions TInModuleOptions;

/* Decoders: which form sits in the decoders array depends on the acknowledgement. */
typedef void(KELV_CDECL* KelvDecodeProc)(void);
typedef void(KELV_CDECL* KelvDecode6Proc)(void* file, int32_t* wantW, int32_t* wantH,
                                           int32_t* srcW, int32_t* srcH, void** buffer);
typedef void(KELV_CDECL* KelvDecode4Proc)(void* file, int32_t* wantW, int32_t* wantH,
                                           void** buffer);
typedef int32_t(KELV_CDECL* KelvSetOptionsProc)(TInModuleOptions* options);
typedef void*(KELV_CDECL* KelvAllocBufferProc)(uint32_t byteCount);
/* RowSink(orientation | rowPointer, rowIndex or -1, width, height); the result is a
 * byte (low byte of EAX on 32-bit x86). */
typedef uint8_t(KELV_CDECL* KelvRowSinkProc)(intptr_t a, int32_t b, int32_t width, int32_t height);

/* Module descriptor; static storage in the module. The host copies it whole right after
 * GetInModule (the first 44 bytes on 32-bit x86). */
typedef struct TInModule {
  uint32_t interfaceVersion;       /* KELV_INMODULE_VERSION */
  uint32_t moduleVersion;          /* major, minor, release, build: most significant first */
  const char* name;                /* display name, never nil */
  uint32_t flags;                  /* KELV_IN_* */
  KelvAboutProc about;
  const char* description;         /* name and version line, then two maker lines, CR LF */
  int32_t formatCount;
  const char* const* extensions;   /* lower case with the dot: ".jpg" */
  const char* const* formatNames;  /* "JPEG" */
  KelvDecodeProc* decoders;        /* one per extension; rewritten by SetOptions */
  KelvSetOptionsProc setOptions;   /* present when flags has KELV_IN_HAS_OPTIONS */
} TInModule;

/* Options handed to SetOptions. A module reads only what `size` covers. */
struct TInModuleOptions {
  int32_t size;
  KelvAllocBufferProc allocBuffer;
  uint32_t flags;                   /* KELV_OPT_* */
  KelvRowSinkProc* rowSinkVariable; /* the host variable holding the sink, or nil */
  KelvGetMemProc getMem;
  KelvFreeMemProc freeMem;
  KelvReallocMemProc reallocMem;
};

/* Passed as the decode's first argument when the module does not open files by name. */
typedef struct TInHostFile {
  KelvFileHandle handle; /* opened for generic read, share read, open existing */
  int32_t zero1;
  int32_t magic;         /* KELV_HOSTFILE_MAGIC */
  int32_t zero2;
  int32_t zero3;
} TInHostFile;

typedef TInModule*(KELV_CDECL* KelvGetInModuleProc)(void);

/* What a module learnt about the picture of its last successful decode, given through the
 * optional export GetPictureInfo. The host sets `size` to sizeof the record it built and
 * zeroes the rest; the module writes only fields that `size` covers completely
 * (KELV_INFO_COVER) and returns 1, or 0 when it has nothing about the last picture
 * (the record then stays as the host made it). Called by the host right after a
 * successful decode, by the same thread, before the next decode. */
#define KELV_DATE_TAKEN_LENGTH 19 /* "YYYY:MM:DD HH:MM:SS" */
typedef struct TInPictureInfo {
  int32_t size;
  /* When the picture was taken, as EXIF date text "YYYY:MM:DD HH:MM:SS" (DateTimeOriginal,
   * else DateTimeDigitized, else DateTime), NUL-terminated; empty when unknown. */
  char dateTaken[KELV_DATE_TAKEN_LENGTH + 1];
} TInPictureInfo;

typedef int32_t(KELV_CDECL* KelvGetPictureInfoProc)(TInPictureInfo* info);

#ifdef __cplusplus
}
#endif

/* A module reads a field of TInModuleOptions only when `size` covers it. */
#define KELV_OPTIONS_COVER(opts, field) \
  ((opts)->size >= (int32_t)(offsetof(TInModuleOptions, field) + sizeof((opts)->field)))
/* The same for TInPictureInfo. */
#define KELV_INFO_COVER(info, field) \
  ((info)->size >= (int32_t)(offsetof(TInPictureInfo, field) + sizeof((info)->field)))

#ifdef __cplusplus
#define KELV_STATIC_ASSERT static_assert
#else
#define KELV_STATIC_ASSERT _Static_assert
#endif

/* TInPictureInfo holds no pointer: one layout on x86 and x64. */
KELV_STATIC_ASSERT(offsetof(TInPictureInfo, size) == 0, "TInPictureInfo layout");
KELV_STATIC_ASSERT(offsetof(TInPictureInfo, dateTaken) == 4, "TInPictureInfo layout");
KELV_STATIC_ASSERT(sizeof(TInPictureInfo) == 24, "TInPictureInfo layout");

#if defined(__i386__) && defined(_WIN32)
#include <stddef.h>
KELV_STATIC_ASSERT(offsetof(TInModule, interfaceVersion) == 0, "TInModule layout");
KELV_STATIC_ASSERT(offsetof(TInModule, moduleVersion) == 4, "TInModule layout");
KELV_STATIC_ASSERT(offsetof(TInModule, name) == 8, "TInModule layout");
KELV_STATIC_ASSERT(offsetof(TInModule, flags) == 12, "TInModule layout");
KELV_STATIC_ASSERT(offsetof(TInModule, about) == 16, "TInModule layout");
KELV_STATIC_ASSERT(offsetof(TInModule, description) == 20, "TInModule layout");
KELV_STATIC_ASSERT(offsetof(TInModule, formatCount) == 24, "TInModule layout");
KELV_STATIC_ASSERT(offsetof(TInModule, extensions) == 28, "TInModule layout");
KELV_STATIC_ASSERT(offsetof(TInModule, formatNames) == 32, "TInModule layout");
KELV_STATIC_ASSERT(offsetof(TInModule, decoders) == 36, "TInModule layout");
KELV_STATIC_ASSERT(offsetof(TInModule, setOptions) == 40, "TInModule layout");
KELV_STATIC_ASSERT(sizeof(TInModule) == 44, "TInModule layout");
KELV_STATIC_ASSERT(offsetof(TInModuleOptions, size) == 0, "TInModuleOptions layout");
KELV_STATIC_ASSERT(offsetof(TInModuleOptions, allocBuffer) == 4, "TInModuleOptions layout");
KELV_STATIC_ASSERT(offsetof(TInModuleOptions, flags) == 8, "TInModuleOptions layout");
KELV_STATIC_ASSERT(offsetof(TInModuleOptions, rowSinkVariable) == 12, "TInModuleOptions layout");
KELV_STATIC_ASSERT(offsetof(TInModuleOptions, getMem) == 16, "TInModuleOptions layout");
KELV_STATIC_ASSERT(offsetof(TInModuleOptions, freeMem) == 20, "TInModuleOptions layout");
KELV_STATIC_ASSERT(offsetof(TInModuleOptions, reallocMem) == 24, "TInModuleOptions layout");
KELV_STATIC_ASSERT(sizeof(TInModuleOptions) == 28, "TInModuleOptions layout");
KELV_STATIC_ASSERT(offsetof(TInHostFile, handle) == 0, "TInHostFile layout");
KELV_STATIC_ASSERT(offsetof(TInHostFile, magic) == 8, "TInHostFile layout");
KELV_STATIC_ASSERT(sizeof(TInHostFile) == 20, "TInHostFile layout");
#endif

#endif
