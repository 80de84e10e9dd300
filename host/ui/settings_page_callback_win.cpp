// What the settings dialog does after the tab control or a page has painted: the frames
// around the previews and the separator of the order choices, drawn over the page, and the
// arrival on a page (the Effects page starts its preview).
#include <windows.h>

#include <commctrl.h>

#include "ui/settings_dialog_win.hpp"
#include "ui/small_dialogs_win.hpp"

namespace kelv::ui {

namespace {

void Line(HDC dc, HPEN pen, int x1, int y1, int x2, int y2) {
  win::SelectedObject selected(dc, pen);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

// A rectangle's frame: `topLeft` on the top and left edges, `bottomRight` on the others.
void Frame(HDC dc, const RECT& r, HPEN topLeft, HPEN bottomRight) {
  Line(dc, topLeft, r.left, r.bottom - 1, r.left, r.top);
  Line(dc, topLeft, r.left, r.top, r.right, r.top);
  Line(dc, bottomRight, r.right - 1, r.top, r.right - 1, r.bottom - 1);
  Line(dc, bottomRight, r.right - 1, r.bottom - 1, r.left - 1, r.bottom - 1);
}

}  // namespace

void SettingsDialog::DrawPreviewFrames(HWND tab, HWND preview) {
  RECT r{};
  GetWindowRect(preview, &r);
  MapWindowPoints(nullptr, tab, reinterpret_cast<POINT*>(&r), 2);
  win::WindowDC dc(tab);
  if (!dc) return;
  RECT inner{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1};
  RECT outer{r.left - 2, r.top - 2, r.right + 2, r.bottom + 2};
  Frame(dc.get(), outer, highlightPen_.get(), shadowPen_.get());  // raised
  Frame(dc.get(), inner, shadowPen_.get(), highlightPen_.get());  // sunken, hugging the preview
}

void SettingsDialog::DrawOrderSeparator(HWND tab) {
  RECT item{};
  if (!TabCtrl_GetItemRect(tab, 0, &item)) return;
  const int32_t top = 10 + ScaleTo96(item.bottom - item.top);
  win::WindowDC dc(tab);
  if (!dc) return;
  const int x = ScaleToScreen(140);
  const int y1 = ScaleToScreen(top + 143), y2 = ScaleToScreen(top + 218);
  Line(dc.get(), shadowPen_.get(), x, y1, x, y2);
  Line(dc.get(), highlightPen_.get(), x + 1, y1, x + 1, y2);
}

void SettingsDialog::PageShown(HWND tab) {
  const auto page = static_cast<int32_t>(SendMessageA(tab, TCM_GETCURSEL, 0, 0));
  const bool arrived = page != lastPageShown_;
  switch (page) {
    case kPagePhotos:
      DrawPreviewFrames(tab, c_.picturePreview);
      if (arrived) {
        lastPageShown_ = page;
        PhotosPageArrived();
      }
      break;
    case kPageEffects:
      DrawPreviewFrames(tab, c_.effectPreview);
      if (arrived && !activeRun_ && !saverPreviewRunning_) {
        // Recorded before the preview starts: the preview's own paints are no arrival.
        lastPageShown_ = page;
        PumpMessages();
        if (!TreeView_GetSelection(c_.effectsTree)) {
          // Selecting the first node starts the preview through its selection change.
          if (HTREEITEM first = TreeView_GetRoot(c_.effectsTree)) TreeView_SelectItem(c_.effectsTree, first);
        } else {
          RunEffectPreview();
        }
      }
      break;
    case kPageGeneral:
      DrawOrderSeparator(tab);
      break;
    default:
      break;
  }
  lastPageShown_ = page;
}

void SettingsDialog::PaintPicturePreview(HWND preview) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(preview, &paint);
  if (previewBitmap_)
    BitBlt(dc, 0, 0, previewBitmap_->Width, previewBitmap_->Height, static_cast<HDC>(previewBitmap_->DC), 0, 0,
           SRCCOPY);
  EndPaint(preview, &paint);
}

LRESULT CALLBACK PicturePreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR:
      if (Framework::Get().ApplyBusyCursor()) return TRUE;
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (SettingsDialog* dialog = SettingsDialog::Of(window)) {
        dialog->PaintPicturePreview(window);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace kelv::ui
