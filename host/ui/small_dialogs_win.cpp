#include "ui/small_dialogs_win.hpp"

#include <array>

#include "settings/settings.hpp"
#include "ui/control_factories_win.hpp"
#include "ui/control_trace_win.hpp"
#include "ui/message_guard_win.hpp"
#include "ui/small_dialog_rules.hpp"

namespace kelv::ui {

namespace {

constexpr int kProgramIconId = 500;

// What the two dialogs have in common: the window, its owner, the modal loop and closing.
class SmallDialog {
public:
  virtual ~SmallDialog() = default;

  void Run(HWND owner, const char* className, const char* title, int32_t clientHeight) {
    owner_ = owner;
    if (!RegisterClassOnce(className)) {
      MessageBoxA(nullptr, "Register class failed", nullptr, MB_OK);
      return;
    }
    const int32_t width = ScaleToScreen(350);
    const int32_t height = ScaleToScreen(CaptionHeight() + clientHeight);
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    const int32_t left = ownerRect.left + (ownerRect.right - ownerRect.left - width) / 2;
    const int32_t top = ownerRect.top + (ownerRect.bottom - ownerRect.top - height) / 2;
    window_ = CreateWindowExA(0, className, title, WS_CAPTION | WS_SYSMENU, left, top, width, height, owner,
                              nullptr, Framework::Get().Instance(), this);
    if (!window_) {
      MessageBoxA(nullptr, "WinCreate failed", nullptr, MB_OK);
      return;
    }
    PushFocus();
    Framework::Get().CreateSharedFont();
    BuildControls();
    Fill();
    FocusControl(OkId());
    ShowWindow(window_, SW_SHOW);
    EnableWindow(owner_, FALSE);
    TraceControls(window_);

    MSG message;
    while (IsWindow(window_) && GetMessageA(&message, nullptr, 0, 0) > 0) {
      if (!IsDialogMessageA(window_, &message)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    }
  }

  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_SETFOCUS:
        RestoreFocus();
        break;
      case WM_CLOSE:
        EnableWindow(owner_, TRUE);
        PopFocus();
        break;
      case WM_CHAR:
        if (wParam == VK_ESCAPE && owner_) Close();
        return 0;
      case WM_COMMAND:
        // Escape reaches the window as the dialog manager's cancel command.
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == CancelId()) {
          Close();
        } else if (LOWORD(wParam) == OkId()) {
          if (Accept()) Close();
        } else {
          OnCommand(LOWORD(wParam));
        }
        return 0;
      case WM_CTLCOLOREDIT:
        SetTextColor(reinterpret_cast<HDC>(wParam), Framework::Get().TextColour());
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

protected:
  virtual void BuildControls() = 0;
  virtual void Fill() = 0;
  // OK: true when the dialog may close.
  virtual bool Accept() = 0;
  virtual void OnCommand(int32_t) {}
  virtual int32_t OkId() const = 0;
  virtual int32_t CancelId() const = 0;

  HWND window_ = nullptr;

private:
  void Close() {
    EnableWindow(owner_, TRUE);
    DestroyWindow(window_);
    PopFocus();
  }

  static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* dialog = reinterpret_cast<SmallDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!dialog) return DefWindowProcA(window, message, wParam, lParam);
    return GuardedMessage([&] { return dialog->HandleMessage(window, message, wParam, lParam); });
  }

  static bool RegisterClassOnce(const char* className) {
    WNDCLASSA existing{};
    if (GetClassInfoA(Framework::Get().Instance(), className, &existing)) return true;
    WNDCLASSA cls{};
    cls.style = CS_HREDRAW | CS_VREDRAW;
    cls.lpfnWndProc = WndProc;
    cls.hInstance = Framework::Get().Instance();
    cls.hIcon = LoadIconA(cls.hInstance, MAKEINTRESOURCEA(kProgramIconId));
    cls.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    cls.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    cls.lpszClassName = className;
    return RegisterClassA(&cls) != 0;
  }

  HWND owner_ = nullptr;
};

class ImagesPerScreenDialog : public SmallDialog {
  enum : int32_t { kGroup = 124, kFirstBox = 105, kOften = 101, kOk = 102, kCancel = 103 };

  void BuildControls() override {
    HWND group = CreateDialogGroupBox(window_, kGroup, "", {15, 10, 320, 96});
    const char* captions[5] = {"1 image per screen", "4 images per screen", "9 images per screen",
                               "16 images per screen", "25 images per screen"};
    const Box places[5] = {{20, 18, 120, 16}, {20, 43, 120, 16}, {20, 68, 120, 16}, {175, 18, 120, 16},
                           {175, 43, 120, 16}};
    for (int32_t i = 0; i < 5; ++i) boxes_[i] = CreateCheckBox(group, kFirstBox + i, captions[i], places[i]);
    often_ = CreateCheckBox(window_, kOften, "Display 1 image per screen more often", {35, 124, 200, 16});
    CreateButton(window_, kOk, "OK", {170, 157, 75, 23});
    CreateButton(window_, kCancel, "Cancel", {255, 157, 75, 23});
  }

  void Fill() override {
    const std::array<bool, 5> checked = CheckedImagesPerScreen(TheSettings());
    for (size_t i = 0; i < 5; ++i) SetChecked(boxes_[i], checked[i]);
    SetChecked(often_, TheSettings().Random1often);
  }

  bool Accept() override {
    std::array<bool, 5> checked{};
    for (size_t i = 0; i < 5; ++i) checked[i] = IsChecked(boxes_[i]);
    if (ApplyImagesPerScreen(checked, IsChecked(often_), TheSettings())) return true;
    ShowMessage(kNoImagesPerScreenMessage);
    return false;
  }

  int32_t OkId() const override { return kOk; }
  int32_t CancelId() const override { return kCancel; }

  std::array<HWND, 5> boxes_{};
  HWND often_ = nullptr;
};

class FilterDialog : public SmallDialog {
public:
  explicit FilterDialog(std::function<void()> restoreFiltered) : restoreFiltered_(std::move(restoreFiltered)) {}

private:
  enum : int32_t { kHideSmaller = 115, kOk = 112, kCancel = 113 };

  void BuildControls() override {
    const Settings& s = TheSettings();
    hideSmaller_ = CreateCheckBox(window_, kHideSmaller, "Hide images smaller than", {20, 28, 140, 16});
    width_ = CreateEdit(window_, 0, std::to_string(s.filterx).c_str(), {165, 25, 50, 21});
    CreateLabel(window_, 0, "X", {223, 28, 10, 16});
    height_ = CreateEdit(window_, 0, std::to_string(s.filtery).c_str(), {238, 25, 50, 21});
    CreateLabel(window_, 0, "pixels", {293, 28, 30, 16});
    CreateButton(window_, kOk, "OK", {170, 97, 75, 23});
    CreateButton(window_, kCancel, "Cancel", {255, 97, 75, 23});
  }

  void Fill() override {
    SetChecked(hideSmaller_, TheSettings().filterres);
    EnableEdits();
  }

  void OnCommand(int32_t id) override {
    if (id == kHideSmaller) EnableEdits();
  }

  bool Accept() override {
    Settings& s = TheSettings();
    const FilterChoice choice =
        ReadFilterChoice(IsChecked(hideSmaller_), GetControlText(width_), GetControlText(height_), s);
    // Every picture the old filter left out comes back; the new filter applies when the
    // catalogue is next filtered.
    if (choice.changed && restoreFiltered_) restoreFiltered_();
    s.filterres = choice.on;
    s.filterx = choice.width;
    s.filtery = choice.height;
    return true;
  }

  void EnableEdits() {
    const BOOL on = IsChecked(hideSmaller_) ? TRUE : FALSE;
    EnableWindow(width_, on);
    EnableWindow(height_, on);
  }

  int32_t OkId() const override { return kOk; }
  int32_t CancelId() const override { return kCancel; }

  std::function<void()> restoreFiltered_;
  HWND hideSmaller_ = nullptr;
  HWND width_ = nullptr;
  HWND height_ = nullptr;
};

}  // namespace

void RunImagesPerScreenDialog(HWND owner) {
  ImagesPerScreenDialog dialog;
  dialog.Run(owner, "Kelvora Images per screen", "Images per screen", 195);
}

void RunFilterDialog(HWND owner, std::function<void()> restoreFiltered) {
  FilterDialog dialog(std::move(restoreFiltered));
  dialog.Run(owner, "Kelvora_filter", "Filter", 135);
}

void ShowMessage(const std::string& text) { MessageBoxA(nullptr, text.c_str(), "Kelvora", MB_OK); }

void PumpOneMessage() {
  MSG message;
  if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace kelv::ui
