/* Calling conventions and basic types shared by the host and its plug-ins.
 *
 * Entry points of both plug-in interfaces use the C convention. The host's three
 * memory routines use the register convention on 32-bit x86 (first argument in EAX,
 * second in EDX, result in EAX; EBX, ESI, EDI and EBP preserved), which gcc's
 * regparm(3) gives. On x86_64 (and in the native Linux build of the portable code)
 * everything uses the platform's one native convention. */
#ifndef KELV_CALLCONV_H
#define KELV_CALLCONV_H

#include <stddef.h>
#include <stdint.h>

/* The reserved attribute spellings: <windows.h> defines `cdecl` as an empty macro, which
 * would silently drop the attribute (and change C++ name mangling) in files that include
 * it before this header. */
#if defined(__GNUC__) && defined(__i386__)
#define KELV_CDECL __attribute__((__cdecl__))
#define KELV_REGCALL __attribute__((__regparm__(3)))
#else
#define KELV_CDECL
#define KELV_REGCALL
#endif

#ifdef _WIN32
#define KELV_EXPORT __declspec(dllexport)
#else
#define KELV_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define KELV_EXTERN_C extern "C"
#else
#define KELV_EXTERN_C
#endif

/* Window and file handles cross the interfaces as pointer-sized values. */
typedef void* KelvWindowHandle;
typedef void* KelvFileHandle;

/* The host's memory routines (register convention on 32-bit x86). Sizes are 32-bit. */
typedef void*(KELV_REGCALL* KelvGetMemProc)(uint32_t size);
typedef void(KELV_REGCALL* KelvFreeMemProc)(void* block);
typedef void*(KELV_REGCALL* KelvReallocMemProc)(void** block, uint32_t newSize);

/* About(owner): shows the module's about box. */
typedef void(KELV_CDECL* KelvAboutProc)(KelvWindowHandle owner);

#endif
