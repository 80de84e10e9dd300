// The Win32 side of the program's code page: the conversions to and from wide text that
// the places needing them share (GDI text, the user-locale comparison), and the system's
// legacy ANSI code page that files written before the switch to UTF-8 carry.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kelv::win {

// The program's 8-bit text as wide text (through CP_ACP: UTF-8 where the manifest's
// choice holds, else the legacy code page).
std::wstring WideFromProgram(std::string_view text);
// Wide text in the program's code page.
std::string ProgramFromWide(std::wstring_view text);

// The user-locale comparison of the sorted lists, ignoring case: < 0, 0 or > 0. The
// texts are compared as the characters they carry (CompareStringW), so that "Éclair"
// sorts where it did under a legacy code page; the byte order when the system cannot
// compare them.
int CompareProgramText(std::string_view a, std::string_view b);

// The system's legacy ANSI code page (the locale's default, which GetACP no longer gives
// once the program runs in UTF-8).
UINT LegacyAnsiCodePage();
// Text written in that code page converted to the program's; the text as it is when the
// program's code page is that one, or when it cannot be converted.
std::string ProgramFromLegacyAnsi(std::string_view text);

}  // namespace kelv::win
