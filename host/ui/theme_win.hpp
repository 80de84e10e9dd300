// Visual styles through uxtheme.dll, loaded at run time so that the dialogs also run where
// the library or visual styles are missing; and the check-box painter and image list of the
// check trees, which draw themed boxes or classic ones.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "common/owners_win.hpp"

namespace kelv::ui {

class ThemeLibrary {
public:
  using HTHEME_ = HANDLE;
  // Loads the library and its entry points; themes are active when the program and the
  // system both use them. Everything stays inactive when anything is missing.
  void Load();
  void Free();
  bool Active() const { return active_; }

  // The parent's themed background under a control (no-op when unavailable).
  void DrawParentBackground(HWND control, HDC dc) const;
  // A themed check box (BP_CHECKBOX) in the given state; false when not drawn.
  bool DrawCheckBox(HDC dc, const RECT& box, int stateId) const;

private:
  using DrawParentBackgroundFn = HRESULT(WINAPI*)(HWND, HDC, const RECT*);
  using OpenThemeDataFn = HTHEME_(WINAPI*)(HWND, LPCWSTR);
  using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HTHEME_, HDC, int, int, const RECT*, const RECT*);
  using CloseThemeDataFn = HRESULT(WINAPI*)(HTHEME_);

  win::UniqueLibrary library_;
  DrawParentBackgroundFn drawParentBackground_ = nullptr;
  OpenThemeDataFn openThemeData_ = nullptr;
  DrawThemeBackgroundFn drawThemeBackground_ = nullptr;
  CloseThemeDataFn closeThemeData_ = nullptr;
  bool active_ = false;
};

enum class CheckState { Unchecked, Checked, Mixed };

// One box of `size` pixels at the left edge of `cell`, one pixel in, at the top or centred
// vertically: themed when themes are active, otherwise a classic box with a flat frame.
void PaintCheckBox(HDC dc, const RECT& cell, int size, CheckState state, bool enabled, bool top);

struct ImageListTraits {
  using Handle = HIMAGELIST;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle list) { return ImageList_Destroy(list) != FALSE; }
};
using UniqueImageList = win::UniqueHandle<ImageListTraits>;

// The check trees' state images: five boxes of ScaleToScreen(13) pixels; images 0 and 1
// unchecked, 2 checked, 3 and 4 mixed (a state image index 1 is unchecked, 2 checked and 4
// partly checked).
UniqueImageList BuildCheckBoxImages();

// State-image values of the check trees, and toggling one (partly checked becomes
// unchecked, otherwise checked and unchecked swap).
enum : int { kStateUnchecked = 1, kStateChecked = 2, kStatePartly = 4 };
inline int ToggledState(int state) { return state == kStatePartly ? kStateUnchecked : (state == kStateUnchecked ? kStateChecked : kStateUnchecked); }

}  // namespace kelv::ui
