// The module as the host sees it: its descriptor, options and decode entry points.
// Everything here is portable; the Windows layer adds the export, the about box and
// the reading of the host's file handle.
#pragma once

#include "kelv_inmodule.h"

namespace stdformats {

inline constexpr uint32_t kModuleVersion = 0x01000708;  // 1.0.7.8
inline constexpr uint32_t kModuleFlags = KELV_IN_HAS_OPTIONS | 0x1u;

// Fills the static descriptor and returns it; forgets the last buffer and the host's
// allocators and puts the legacy decoders back.
TInModule* DescribeModule();

int32_t KELV_CDECL SetOptions(TInModuleOptions* options);

// The about box text, lines separated by CR LF.
const char* AboutText();
// Shows the about box (a message box on Windows).
void KELV_CDECL ShowAbout(KelvWindowHandle owner);

// The buffer the last decode delivered (nil after a failure or a sizes-only call).
void* LastBuffer();

// The GetPictureInfo export: the date taken that the last successful decode read.
int32_t KELV_CDECL GetPictureInfo(TInPictureInfo* info);

}  // namespace stdformats
