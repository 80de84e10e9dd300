#include "ui/control_factories_win.hpp"

#include <windows.h>

#include <commctrl.h>
#include <windowsx.h>

#include <cstddef>
#include <string>

#include "ui/message_guard_win.hpp"

namespace kelv::ui {

namespace {

constexpr const char* kPageClassName = "Bramblecor TPage";

enum class FontChoice { Dialog, Title };

struct ControlClass {
  const char* className;
  DWORD style;  // beyond WS_CHILD
  DWORD exStyle;
  bool registered;
  ControlKind kind;  // ControlKind::Count: the control keeps its own procedure
  WNDPROC procedure;
  FontChoice font = FontChoice::Dialog;
};

HWND MakeControl(HWND parent, int32_t id, const char* caption, const ControlClass& cls, RECT pixels) {
  Framework& ui = Framework::Get();
  HWND control = CreateWindowExA(cls.exStyle, cls.className, caption, WS_CHILD | cls.style, pixels.left,
                                 pixels.top, pixels.right - pixels.left, pixels.bottom - pixels.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ui.Instance(), nullptr);
  if (!control) return nullptr;
  HFONT font = cls.font == FontChoice::Title ? ui.TitleFont() : ui.DialogFont();
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  ShowWindow(control, SW_SHOW);
  UpdateWindow(control);
  if (cls.registered) ui.Registry().Register(control, id);
  if (cls.kind != ControlKind::Count) {
    const auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(cls.procedure)));
    ui.PreviousProc(cls.kind) = previous;
  }
  FitCaption(control);
  return control;
}

RECT Scaled(Box box) {
  const int32_t x = ScaleToScreen(box.x), y = ScaleToScreen(box.y);
  return RECT{x, y, x + ScaleToScreen(box.width), y + ScaleToScreen(box.height)};
}

HWND Make(HWND parent, int32_t id, const char* caption, Box box, const ControlClass& cls) {
  return MakeControl(parent, id, caption, cls, Scaled(box));
}

constexpr DWORD kButtonStyle = WS_CLIPSIBLINGS | WS_TABSTOP;
constexpr DWORD kTreeStyle = WS_CLIPSIBLINGS | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                             TVS_SHOWSELALWAYS;

LRESULT CallPrevious(ControlKind kind, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = Framework::Get().PreviousProc(kind);
  return previous ? CallWindowProcA(previous, window, message, wParam, lParam)
                  : DefWindowProcA(window, message, wParam, lParam);
}

void EnsureCommonControls() {
  static bool done = false;
  if (!done) InitCommonControls();
  done = true;
}

bool RegisterPageClass() {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSA cls{};
  cls.style = CS_HREDRAW | CS_VREDRAW;
  cls.lpfnWndProc = PageProc;
  cls.hInstance = Framework::Get().Instance();
  cls.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  cls.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNHIGHLIGHT + 1));
  cls.lpszClassName = kPageClassName;
  registered = RegisterClassA(&cls) != 0;
  return registered;
}

HWND MakePreviewWindow(HWND parent, int32_t id, const char* baseName, const char* caption, RECT pixels,
                       WNDPROC procedure) {
  Framework& ui = Framework::Get();
  const std::string className = baseName + std::to_string(ui.NextPreviewNumber());
  WNDCLASSA cls{};
  cls.style = CS_SAVEBITS;
  cls.lpfnWndProc = procedure;
  cls.hInstance = ui.Instance();
  cls.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  cls.lpszClassName = className.c_str();
  RegisterClassA(&cls);
  return MakeControl(parent, id, caption,
                     ControlClass{className.c_str(), WS_CLIPSIBLINGS, 0, false, ControlKind::Count, nullptr}, pixels);
}

}  // namespace

HWND CreateButton(HWND parent, int32_t id, const char* caption, Box box) {
  return Make(parent, id, caption, box,
              {"BUTTON", kButtonStyle | BS_PUSHBUTTON, 0, true, ControlKind::Button, ButtonProc});
}

HWND CreateCheckBox(HWND parent, int32_t id, const char* caption, Box box) {
  return Make(parent, id, caption, box,
              {"BUTTON", kButtonStyle | BS_AUTOCHECKBOX, 0, true, ControlKind::Button, ButtonProc});
}

HWND CreateRadioButton(HWND parent, int32_t id, const char* caption, Box box) {
  return Make(parent, id, caption, box,
              {"BUTTON", kButtonStyle | BS_AUTORADIOBUTTON, 0, true, ControlKind::Button, ButtonProc});
}

HWND CreateGroupBox(HWND parent, int32_t id, const char* caption, Box box) {
  return Make(parent, id, caption, box,
              {"BUTTON", WS_CLIPSIBLINGS | BS_GROUPBOX, WS_EX_CONTROLPARENT, false, ControlKind::Group, GroupProc});
}

HWND CreateDialogGroupBox(HWND parent, int32_t id, const char* caption, Box box) {
  return Make(parent, id, caption, box,
              {"BUTTON", BS_GROUPBOX, WS_EX_CONTROLPARENT, false, ControlKind::Group, GroupProc});
}

HWND CreateEdit(HWND parent, int32_t id, const char* caption, Box box) {
  return Make(parent, id, caption, box,
              {"EDIT", WS_CLIPSIBLINGS | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, true, ControlKind::Edit,
               EditProc});
}

HWND CreateComboBox(HWND parent, int32_t id, const char* caption, Box box) {
  return Make(parent, id, caption, box,
              {"COMBOBOX", WS_CLIPSIBLINGS | WS_VSCROLL | WS_TABSTOP | CBS_HASSTRINGS | CBS_DROPDOWNLIST, 0, true,
               ControlKind::Combo, ComboProc});
}

HWND CreateLabel(HWND parent, int32_t id, const char* caption, Box box) {
  return Make(parent, id, caption, box, {"STATIC", SS_NOPREFIX, 0, false, ControlKind::Count, nullptr});
}

HWND CreateTitleLabel(HWND parent, int32_t id, const char* caption, Box box) {
  return Make(parent, id, caption, box,
              {"STATIC", WS_CLIPSIBLINGS | SS_NOPREFIX, 0, false, ControlKind::Count, nullptr, FontChoice::Title});
}

HWND CreateTreeView(HWND parent, int32_t id, const char* caption, Box box) {
  EnsureCommonControls();
  return Make(parent, id, caption, box, {WC_TREEVIEWA, kTreeStyle, WS_EX_CLIENTEDGE, true, ControlKind::Tree, TreeProc});
}

HWND CreateCheckTreeView(HWND parent, int32_t id, const char* caption, Box box) {
  EnsureCommonControls();
  HWND tree = Make(parent, id, caption, box,
                   {WC_TREEVIEWA, kTreeStyle, WS_EX_CLIENTEDGE, true, ControlKind::CheckTree, CheckTreeProc});
  if (tree) TreeView_SetImageList(tree, Framework::Get().CheckImages(), TVSIL_STATE);
  return tree;
}

HWND CreateTabControl(HWND parent, int32_t id, const char* caption, Box box, PageChangeCallback callback) {
  EnsureCommonControls();
  HWND tab = Make(parent, id, caption, box,
                  {WC_TABCONTROLA, WS_CLIPSIBLINGS | WS_TABSTOP | TCS_HOTTRACK, 0, true, ControlKind::Tab, TabProc});
  if (tab) Framework::Get().RegisterTab(tab, callback);
  return tab;
}

HWND CreateTrackBar(HWND parent, int32_t id, const char* caption, Box box, int16_t minimum, int16_t maximum) {
  EnsureCommonControls();
  HWND bar = Make(parent, id, caption, box,
                  {TRACKBAR_CLASSA, WS_VISIBLE | WS_TABSTOP | TBS_AUTOTICKS | TBS_FIXEDLENGTH, 0, true,
                   ControlKind::Trackbar, TrackbarProc});
  if (!bar) return nullptr;
  SendMessageA(bar, TBM_SETTHUMBLENGTH, 17, 0);
  SendMessageA(bar, TBM_SETLINESIZE, 0, 1);
  if (maximum >= 50) {
    SendMessageA(bar, TBM_SETPAGESIZE, 0, 10);
    SendMessageA(bar, TBM_SETTICFREQ, 5, 0);
  } else {
    SendMessageA(bar, TBM_SETPAGESIZE, 0, 2);
  }
  SendMessageA(bar, TBM_SETRANGE, TRUE, MAKELPARAM(minimum, maximum));
  SendMessageA(bar, TBM_CLEARSEL, TRUE, 0);
  return bar;
}

HWND CreatePicturePreviewWindow(HWND parent, int32_t id, int32_t x, int32_t y, int32_t widthPixels,
                                int32_t heightPixels, WNDPROC procedure) {
  const int32_t left = ScaleToScreen(x), top = ScaleToScreen(y);
  return MakePreviewWindow(parent, id, "Timage1_PR", "Image1 PR",
                           RECT{left, top, left + widthPixels - 1, top + heightPixels - 1}, procedure);
}

HWND CreateEffectPreviewWindow(HWND parent, int32_t id, Box box, WNDPROC procedure) {
  return MakePreviewWindow(parent, id, "Timage2_PR", "Image2 PR", Scaled(box), procedure);
}

HWND CreatePage(HWND parent, const RECT& pixels) {
  if (!RegisterPageClass()) return nullptr;
  Framework& ui = Framework::Get();
  // A page keeps its class procedure; it is created hidden and shown by its tab.
  HWND page = CreateWindowExA(WS_EX_CONTROLPARENT, kPageClassName, "Page", WS_CHILD, pixels.left, pixels.top,
                              pixels.right - pixels.left, pixels.bottom - pixels.top, parent, nullptr,
                              ui.Instance(), nullptr);
  if (page) SendMessageA(page, WM_SETFONT, reinterpret_cast<WPARAM>(ui.DialogFont()), TRUE);
  return page;
}

HWND CreateToolTips() {
  EnsureCommonControls();
  HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, Framework::Get().Instance(), nullptr);
  if (!tip) return nullptr;
  SendMessageA(tip, TTM_ACTIVATE, TRUE, 0);
  Framework::Get().SetToolTipWindow(tip);
  return tip;
}

// The first version of the tool record (up to its text; 40 bytes in 32-bit builds), which
// every version of the common controls accepts.
constexpr UINT kToolInfoSize = offsetof(TOOLINFOA, lpszText) + sizeof(LPSTR);
static_assert(sizeof(void*) != 4 || kToolInfoSize == 40, "the 32-bit tool record is 40 bytes");

bool AddToolTip(HWND control, const char* text) {
  HWND tip = Framework::Get().ToolTipWindow();
  if (!tip) return false;
  TOOLINFOA info{};
  info.cbSize = kToolInfoSize;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = const_cast<char*>(text);
  SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
  return true;
}

// ---- subclass procedures --------------------------------------------------------------

namespace {

bool IsEscape(WPARAM key) { return key == VK_ESCAPE; }

// The class name of a window, for the themed colour messages.
std::string ClassNameOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

LRESULT ClassicColour(ControlKind kind, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallPrevious(kind, window, message, wParam, lParam);
}

// The themed answers of group boxes and pages to WM_CTLCOLORSTATIC (and, for group boxes,
// WM_CTLCOLOREDIT): transparent labels and buttons over the parent's themed background.
LRESULT ThemedColour(ControlKind kind, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Framework& ui = Framework::Get();
  if (!ui.ThemesActive()) return ClassicColour(kind, window, message, wParam, lParam);
  HDC dc = reinterpret_cast<HDC>(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  const std::string name = ClassNameOf(control);
  HBRUSH nullBrush = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  if (lstrcmpiA(name.c_str(), "Static") == 0) {
    SetBkMode(dc, TRANSPARENT);
    if (reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)) == ui.DialogFont())
      ui.Theme().DrawParentBackground(control, dc);
    return reinterpret_cast<LRESULT>(nullBrush);
  }
  if (lstrcmpiA(name.c_str(), "Button") == 0) {
    const LONG_PTR type = GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK;
    if (kind == ControlKind::Page) {
      if (type == BS_AUTOCHECKBOX && GetControlText(GetParent(control)) == "Page")
        ui.Theme().DrawParentBackground(control, dc);
      return reinterpret_cast<LRESULT>(nullBrush);
    }
    if (type == BS_AUTOCHECKBOX || type == BS_AUTORADIOBUTTON) {
      ui.Theme().DrawParentBackground(control, dc);
      return reinterpret_cast<LRESULT>(nullBrush);
    }
    if (type == BS_GROUPBOX) {
      ui.Theme().DrawParentBackground(control, dc);
      return CallPrevious(kind, window, message, wParam, lParam);
    }
    return reinterpret_cast<LRESULT>(nullBrush);
  }
  if (lstrcmpiA(name.c_str(), TRACKBAR_CLASSA) == 0) {
    ui.Theme().DrawParentBackground(control, dc);
    return reinterpret_cast<LRESULT>(nullBrush);
  }
  return CallPrevious(kind, window, message, wParam, lParam);
}

// The scheme group boxes, the tab control and pages share.
LRESULT ContainerMessage(ControlKind kind, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Framework& ui = Framework::Get();
  switch (message) {
    case WM_ERASEBKGND:
      if (kind != ControlKind::Tab && !ui.ThemesActive()) return 1;
      break;
    case WM_SETCURSOR:
      if (ui.ApplyBusyCursor()) return TRUE;
      break;
    case WM_DRAWITEM:
      if (HWND target = ui.Registry().Find(static_cast<int32_t>(wParam)))
        return SendMessageA(target, message, wParam, lParam);
      break;
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_HSCROLL:
      return SendMessageA(GetParent(window), message, wParam, lParam);
    case WM_VSCROLL:
      return 0;
    case WM_CTLCOLORSTATIC:
      return ThemedColour(kind, window, message, wParam, lParam);
    case WM_CTLCOLOREDIT:
      if (kind == ControlKind::Group) return ThemedColour(kind, window, message, wParam, lParam);
      break;
    case WM_PAINT: {
      if (kind == ControlKind::Group) break;
      const LRESULT result = CallPrevious(kind, window, message, wParam, lParam);
      ui.NotifyPainted(window);
      if (kind == ControlKind::Tab && ui.ThemesActive()) {
        for (HWND bar : ui.RepaintTrackbars()) {
          if (!bar) continue;
          SendMessageA(bar, WM_ENABLE, TRUE, 0);
          if (GetWindowLongPtrA(bar, GWL_STYLE) & WS_DISABLED) SendMessageA(bar, WM_ENABLE, FALSE, 0);
        }
      }
      return result;
    }
    default:
      break;
  }
  return CallPrevious(kind, window, message, wParam, lParam);
}

void ToggleSelectedState(HWND tree) {
  HTREEITEM item = TreeView_GetSelection(tree);
  if (!item) return;
  TVITEMA tv{};
  tv.mask = TVIF_STATE | TVIF_HANDLE;
  tv.hItem = item;
  tv.stateMask = TVIS_STATEIMAGEMASK;
  TreeView_GetItem(tree, &tv);
  const int state = static_cast<int>((tv.state & TVIS_STATEIMAGEMASK) >> 12);
  tv.state = INDEXTOSTATEIMAGEMASK(ToggledState(state));
  TreeView_SetItem(tree, &tv);
  InvalidateRect(tree, nullptr, FALSE);
  NMTREEVIEWA notice{};
  notice.hdr.hwndFrom = tree;
  notice.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(tree));
  notice.hdr.code = TVN_SELCHANGEDA;
  notice.itemNew.hItem = item;
  notice.itemNew.mask = TVIF_HANDLE;
  SendMessageA(GetParent(tree), WM_NOTIFY, notice.hdr.idFrom, reinterpret_cast<LPARAM>(&notice));
}

}  // namespace

LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedMessage([&]() -> LRESULT {
    Framework& ui = Framework::Get();
    switch (message) {
      case WM_KEYDOWN:
        if (IsEscape(wParam)) SendMessageA(GetParent(window), WM_CHAR, VK_ESCAPE, 0);
        break;
      case WM_SETCURSOR:
        if (ui.ApplyBusyCursor()) return TRUE;
        break;
      case WM_SETFOCUS:
        ui.Focus().SetFocused(window);
        break;
      case WM_ERASEBKGND:
        if (ui.ThemesActive()) return 1;
        break;
      default:
        break;
    }
    return CallPrevious(ControlKind::Button, window, message, wParam, lParam);
  });
}

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedMessage([&]() -> LRESULT {
    if (message == WM_CHAR && IsEscape(wParam)) SendMessageA(GetParent(window), WM_CHAR, wParam, lParam);
    return CallPrevious(ControlKind::Edit, window, message, wParam, lParam);
  });
}

LRESULT CALLBACK ComboProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedMessage([&] {
    const LRESULT result = CallPrevious(ControlKind::Combo, window, message, wParam, lParam);
    // The widest item is the caption a combo box must show whole.
    if (message == CB_ADDSTRING || message == CB_INSERTSTRING || message == CB_DELETESTRING ||
        message == CB_RESETCONTENT)
      FitCaption(window);
    return result;
  });
}

LRESULT CALLBACK TreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedMessage([&]() -> LRESULT {
    if (message == WM_SETCURSOR) {
      if (HCURSOR cursor = Framework::Get().TreeBusyCursor()) {
        SetCursor(cursor);
        return TRUE;
      }
    }
    return CallPrevious(ControlKind::Tree, window, message, wParam, lParam);
  });
}

LRESULT CALLBACK TrackbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedMessage([&]() -> LRESULT {
    if (message == WM_ERASEBKGND && Framework::Get().ThemesActive()) return 1;
    return CallPrevious(ControlKind::Trackbar, window, message, wParam, lParam);
  });
}

LRESULT CALLBACK CheckTreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedMessage([&]() -> LRESULT {
    Framework& ui = Framework::Get();
    switch (message) {
      case WM_SETCURSOR:
        if (ui.ApplyBusyCursor()) return TRUE;
        break;
      case WM_CONTEXTMENU:
        if (lParam == -1) {
          POINT at{0, 0};
          if (HTREEITEM item = TreeView_GetSelection(window)) {
            RECT text{};
            if (TreeView_GetItemRect(window, item, &text, TRUE)) {
              at = {text.left, text.bottom};
              ClientToScreen(window, &at);
            }
          }
          lParam = MAKELPARAM(at.x, at.y);
        }
        break;
      case WM_RBUTTONDOWN: {
        TVHITTESTINFO hit{};
        hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (HTREEITEM item = TreeView_HitTest(window, &hit)) TreeView_SelectItem(window, item);
        break;
      }
      case WM_CHAR:
        if (wParam == ' ') ToggleSelectedState(window);
        break;
      case WM_LBUTTONDOWN: {
        const LRESULT result = CallPrevious(ControlKind::CheckTree, window, message, wParam, lParam);
        HTREEITEM item = TreeView_GetSelection(window);
        RECT text{};
        if (item && TreeView_GetItemRect(window, item, &text, TRUE)) {
          const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
          if (y >= text.top && y < text.bottom && x >= text.left - ScaleToScreen(13) && x < text.left)
            ToggleSelectedState(window);
        }
        return result;
      }
      default:
        break;
    }
    return CallPrevious(ControlKind::CheckTree, window, message, wParam, lParam);
  });
}

LRESULT CALLBACK GroupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedMessage([&] { return ContainerMessage(ControlKind::Group, window, message, wParam, lParam); });
}

LRESULT CALLBACK TabProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedMessage([&] { return ContainerMessage(ControlKind::Tab, window, message, wParam, lParam); });
}

LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GuardedMessage([&] { return ContainerMessage(ControlKind::Page, window, message, wParam, lParam); });
}

}  // namespace kelv::ui
