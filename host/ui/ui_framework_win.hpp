// The window-control layer the settings dialog and its small dialogs share: the screen's
// dpi, the shared drawing objects, the control registry and focus stack, the busy cursors,
// the tab registry, the tooltip window and the theme library. One object per process, made
// on first use; everything in it belongs to the thread that owns the dialog windows.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/owners_win.hpp"
#include "ui/control_registry.hpp"
#include "ui/theme_win.hpp"

namespace kelv::ui {

using UniquePen = win::UniqueHandle<win::GdiObjectTraits<HPEN>>;
using UniqueBrush = win::UniqueHandle<win::GdiObjectTraits<HBRUSH>>;

// Called with the tab control's window after the tab or one of its pages has painted.
using PageChangeCallback = void (*)(HWND tab);

// The kinds of subclassed controls; each keeps the procedure it replaced.
enum class ControlKind { Button, Edit, Combo, Tree, CheckTree, Trackbar, Group, Tab, Page, Count };

class Framework {
public:
  static constexpr int kMaxTabs = 5;

  static Framework& Get();

  int32_t Dpi() const { return dpi_; }
  int32_t ScaleToScreen(int32_t value) const;
  int32_t ScaleTo96(int32_t value) const;
  HINSTANCE Instance() const { return instance_; }

  HFONT DialogFont() const { return dialogFont_; }
  HFONT TitleFont();
  COLORREF TextColour() const { return textColour_; }
  HPEN FramePen() const { return framePen_.get(); }
  // (Re)creates the dialog font and text colour for a dialog being built.
  void CreateSharedFont();

  ControlRegistry& Registry() { return registry_; }
  FocusStack& Focus() { return focus_; }
  ThemeLibrary& Theme() { return theme_; }
  bool ThemesActive() const { return theme_.Active(); }

  // The process-wide busy cursor (null when idle) and the picture tree's own.
  HCURSOR BusyCursor() const { return busyCursor_; }
  void SetBusyCursor(HCURSOR cursor) { busyCursor_ = cursor; }
  HCURSOR TreeBusyCursor() const { return treeBusyCursor_; }
  void SetTreeBusyCursor(HCURSOR cursor) { treeBusyCursor_ = cursor; }
  // Answers WM_SETCURSOR with the busy cursor when there is one.
  bool ApplyBusyCursor() const;

  WNDPROC& PreviousProc(ControlKind kind) { return previous_[static_cast<size_t>(kind)]; }

  // The tab registry. Registering a sixth tab control raises "TheTab_Last= 5".
  void RegisterTab(HWND tab, PageChangeCallback callback);
  // Calls the callback of the tab that is `window` or whose parent is `window`; raises
  // "can't find TheTab, H=..." when there is none.
  void NotifyPainted(HWND window);
  int32_t TabCount() const { return tabCount_; }
  // Trackbars that repaint with the tab while themes are active.
  std::array<HWND, 2>& RepaintTrackbars() { return repaintTrackbars_; }

  HWND ToolTipWindow() const { return toolTip_; }
  void SetToolTipWindow(HWND window) { toolTip_ = window; }

  HIMAGELIST CheckImages();
  // Preview windows number their classes from this counter.
  int32_t NextPreviewNumber() { return ++previewCounter_; }

  // Frees the pens and the image list (the dialog's end).
  void ReleaseDrawingObjects();

  // Controls FitCaption widened, with the right edge their box was made with.
  struct Widened {
    HWND window;
    int32_t designRight;  // in the parent's pixels
  };
  std::vector<Widened>& WidenedControls() { return widened_; }
  // A font made from the record, made once and kept until the drawing objects go (the
  // smaller fonts of captions that do not fit otherwise).
  HFONT FontLike(const LOGFONTA& font);

private:
  Framework();

  HINSTANCE instance_ = nullptr;
  int32_t dpi_ = 96;
  HFONT dialogFont_ = nullptr;  // stock object: never deleted
  win::UniqueFont titleFont_;
  COLORREF textColour_ = 0;
  UniquePen framePen_;
  UniquePen highlightPen_;
  UniqueImageList checkImages_;
  ControlRegistry registry_;
  FocusStack focus_;
  ThemeLibrary theme_;
  HCURSOR busyCursor_ = nullptr;
  HCURSOR treeBusyCursor_ = nullptr;
  std::array<WNDPROC, static_cast<size_t>(ControlKind::Count)> previous_{};
  struct TabEntry {
    HWND tab = nullptr;
    PageChangeCallback callback = nullptr;
  };
  std::array<TabEntry, kMaxTabs> tabs_{};
  int32_t tabCount_ = 0;
  std::array<HWND, 2> repaintTrackbars_{};
  HWND toolTip_ = nullptr;
  int32_t previewCounter_ = 0;
  std::vector<Widened> widened_;
  std::vector<std::pair<LOGFONTA, win::UniqueFont>> fittedFonts_;
};

inline int32_t ScaleToScreen(int32_t value) { return Framework::Get().ScaleToScreen(value); }
inline int32_t ScaleTo96(int32_t value) { return Framework::Get().ScaleTo96(value); }

// FocusControl: the registered control with the id becomes the focused control and gets
// the focus. RestoreFocus/PushFocus/PopFocus as the focus stack does them.
void FocusControl(int32_t id);
void RestoreFocus();
void PushFocus();
void PopFocus();

// The registered control with the id, or null.
HWND ControlById(int32_t id);

// The height of a window caption and border in 96-dpi units; windows add it to their
// client height.
int32_t CaptionHeight();

// Repaints a window and every window below it (a group box repainted alone covers its
// controls).
void RepaintWithChildren(HWND window);
// Repaints the tab control's row of tabs only. The pages lie below the tab control in the
// order of siblings, and the tab control paints its whole display area on some systems:
// repainting all of it would cover the current page.
void InvalidateTabRow(HWND tab);

// The size of a control's caption in the control's own font, on one line ("&" marks the
// next letter as the control shows it, except in labels that show it as it is). A combo
// box's caption is the widest of its items.
SIZE CaptionExtent(HWND control);
// The width in pixels a control needs to show its caption whole (the control's own answer
// where it gives one: a check box counts its box and the space before the text); 0 for
// controls that show no caption of their own (edits, trees, tabs, trackbars, previews).
int32_t CaptionWidthNeeded(HWND control);
// Widens a control whose caption would be cut, to the right only, as far as its parent and
// the windows beside it allow (see CaptionRightLimit), and narrows a control widened
// earlier that this one now stands beside. The factories call it for every control they
// make and combo boxes when they get items, so controls fit whatever their order of
// creation. At 96 dpi nothing changes: the layout is made for the dialog font there.
void FitCaption(HWND control);
// Fits every widened control of a dialog again among the windows beside it now, which
// takes in windows made without the factories (the hyperlinks); dialogs call it once
// their controls are built.
void RefitCaptions(HWND root);

// The window's text (up to 1000 characters).
std::string GetControlText(HWND window);
// The state of a check box or radio button.
bool IsChecked(HWND button);
void SetChecked(HWND button, bool checked);

}  // namespace kelv::ui
