// What the settings dialog's controls do: filling them from the settings, reading them
// back, and the commands and notifications they send.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include <cstring>

#include "catalogue/pic_list.hpp"
#include "imaging/caption_platform.hpp"
#include "plugins/plugin_host.hpp"
#include "ui/dialog_values.hpp"
#include "ui/number_edit.hpp"
#include "ui/settings_dialog_win.hpp"
#include "ui/small_dialogs_win.hpp"

namespace kelv::ui {

namespace {

void Enable(HWND control, bool enabled) { EnableWindow(control, enabled ? TRUE : FALSE); }

int32_t ComboSelection(HWND combo) { return static_cast<int32_t>(SendMessageA(combo, CB_GETCURSEL, 0, 0)); }

void SetText(HWND control, const std::string& text) { SetWindowTextA(control, text.c_str()); }

}  // namespace

void SettingsDialog::FillControls() {
  StartTreeBuild(true);
  const DialogValues v = ValuesFromSettings(TheSettings());
  SetText(c_.delayEdit, v.delayText);
  SetText(c_.durationEdit, v.durationText);
  // Hidden and shown once so that both trackbars draw their new positions.
  for (HWND bar : {c_.delayTrack, c_.durationTrack}) {
    ShowWindow(bar, SW_HIDE);
    ShowWindow(bar, SW_SHOW);  // a bar of a hidden page stays hidden with its page
  }
  SetChecked(c_.directDraw, v.useDirectDraw);
  SetChecked(c_.enlarge, v.enlarge);
  SetChecked(c_.fillScreen, v.fillScreen);
  SetChecked(c_.blurredBackground, v.blurredBackground);
  UpdateBackgroundControl();
  SetChecked(c_.startFromRandom, v.startFromRandom);
  SetChecked(c_.startFromPrevious, v.startFromPrevious);
  SetChecked(c_.spacebar, v.spacebarPauses);
  SetChecked(c_.arrowKeys, v.arrowKeys);
  SetChecked(c_.wallpaper, v.wallpaper);
  SetChecked(c_.mouseMove, v.exitOnMouseMove);
  SetChecked(c_.autoRotate, v.autoRotate);
  SetChecked(c_.showFileName, v.showFileName);
  SetChecked(c_.includePath, v.includePath);
  SetChecked(c_.includeFolder, v.includeFolder);
  SetChecked(c_.includeExtension, v.includeExtension);
  SetChecked(c_.includeDate, v.includeDate);
  SetChecked(c_.transparent, v.transparent);
  SetChecked(c_.everyMonitor, v.everyMonitor);
  SetChecked(c_.panAndZoom, v.panAndZoom);
  SendMessageA(c_.quality, CB_SETCURSEL, static_cast<WPARAM>(v.qualityItem), 0);
  SendMessageA(c_.screens, CB_SETCURSEL, static_cast<WPARAM>(v.screensItem), 0);
  SetChecked(c_.sequential, v.order == OrderChoice::Sequential);
  SetChecked(c_.random, v.order == OrderChoice::Random);
  SetChecked(c_.reverse, v.order == OrderChoice::Reverse);
  UpdateTextControls();
  SetChecked(c_.top, v.textPos == TextPosChoice::Top);
  SetChecked(c_.center, v.textPos == TextPosChoice::Center);
  SetChecked(c_.bottom, v.textPos == TextPosChoice::Bottom);
  if (previewBitmap_) previewBitmap_->Crop = v.fillScreen;
  FillEffectsTree();
}

DialogValues SettingsDialog::ValuesFromControls() const {
  DialogValues v;
  v.delayText = GetControlText(c_.delayEdit);
  v.durationText = GetControlText(c_.durationEdit);
  v.useDirectDraw = IsChecked(c_.directDraw);
  v.enlarge = IsChecked(c_.enlarge);
  v.fillScreen = IsChecked(c_.fillScreen);
  v.blurredBackground = IsChecked(c_.blurredBackground);
  v.startFromRandom = IsChecked(c_.startFromRandom);
  v.startFromPrevious = IsChecked(c_.startFromPrevious);
  v.spacebarPauses = IsChecked(c_.spacebar);
  v.arrowKeys = IsChecked(c_.arrowKeys);
  v.wallpaper = IsChecked(c_.wallpaper);
  v.exitOnMouseMove = IsChecked(c_.mouseMove);
  v.autoRotate = IsChecked(c_.autoRotate);
  v.showFileName = IsChecked(c_.showFileName);
  v.includePath = IsChecked(c_.includePath);
  v.includeFolder = IsChecked(c_.includeFolder);
  v.includeExtension = IsChecked(c_.includeExtension);
  v.includeDate = IsChecked(c_.includeDate);
  v.transparent = IsChecked(c_.transparent);
  v.everyMonitor = IsChecked(c_.everyMonitor);
  v.panAndZoom = IsChecked(c_.panAndZoom);
  v.qualityItem = ComboSelection(c_.quality);
  v.screensItem = ComboSelection(c_.screens);
  v.order = IsChecked(c_.sequential) ? OrderChoice::Sequential
            : IsChecked(c_.random)   ? OrderChoice::Random
            : IsChecked(c_.reverse)  ? OrderChoice::Reverse
                                     : OrderChoice::None;
  v.textPos = IsChecked(c_.top)      ? TextPosChoice::Top
              : IsChecked(c_.center) ? TextPosChoice::Center
              : IsChecked(c_.bottom) ? TextPosChoice::Bottom
                                     : TextPosChoice::None;
  return v;
}

void SettingsDialog::ReadControls() { ReadValuesInto(ValuesFromControls(), TheSettings()); }

void SettingsDialog::UpdateTextControls() {
  const bool enabled = IsChecked(c_.showFileName);
  for (HWND control : {c_.includePath, c_.includeFolder, c_.includeExtension, c_.includeDate, c_.font, c_.top,
                       c_.center, c_.bottom, c_.transparent})
    Enable(control, enabled);
}

void SettingsDialog::UpdateBackgroundControl() {
  DialogValues v;
  v.fillScreen = IsChecked(c_.fillScreen);
  Enable(c_.blurredBackground, BlurredBackgroundEnabled(v));
}

void SettingsDialog::StripNonDigitsIn(HWND edit) {
  DWORD start = 0;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  if (auto stripped = StripNonDigits(GetControlText(edit), static_cast<int32_t>(start))) {
    SetText(edit, stripped->text);
    SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(stripped->caret), stripped->caret);
  }
}

void SettingsDialog::ValidateNumberEditIn(HWND edit, bool duration) {
  std::string text = GetControlText(edit);
  if (text.size() > 100) text.resize(100);
  if (auto replacement = ValidateNumberText(text, duration ? kDurationEditLimits : kDelayEditLimits))
    SetText(edit, *replacement);
}

void SettingsDialog::EditToTrackBar(HWND edit, HWND trackbar, bool duration) {
  const auto position = static_cast<int32_t>(SendMessageA(trackbar, TBM_GETPOS, 0, 0));
  const int32_t value = TrackBarValueFor(GetControlText(edit), position);
  if (value != position) {
    SendMessageA(trackbar, TBM_SETPOS, TRUE, value);
    if (Framework::Get().ThemesActive()) SendMessageA(trackbar, WM_ENABLE, TRUE, 0);
  }
  if (duration && value >= 1) SetPreviewDuration(value * 1000);
}

void SettingsDialog::OnTrackBarMoved(HWND trackbar) {
  HWND edit = trackbar == c_.delayTrack ? c_.delayEdit : trackbar == c_.durationTrack ? c_.durationEdit : nullptr;
  if (!edit) return;
  SetText(edit, std::to_string(SendMessageA(trackbar, TBM_GETPOS, 0, 0)));
}

void SettingsDialog::ChooseCaptionFont() {
  Settings& settings = TheSettings();
  LOGFONTA font;
  static_assert(sizeof font == sizeof settings.Font);
  std::memcpy(&font, &settings.Font, sizeof font);
  font.lfFaceName[LF_FACESIZE - 1] = '\0';
  CHOOSEFONTA choose{};
  choose.lStructSize = sizeof choose;
  choose.hwndOwner = window_;
  choose.lpLogFont = &font;
  choose.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
  choose.rgbColors = settings.FontColor;
  if (!ChooseFontA(&choose)) return;
  std::memcpy(&settings.Font, &font, sizeof font);
  settings.FontColor = choose.rgbColors;
  caption_platform::ForgetCaptionFont();
}

void SettingsDialog::OnCommand(int32_t id, int32_t code, HWND control) {
  Settings& settings = TheSettings();
  switch (id) {
    case kIdDelayEdit:
    case kIdDurationEdit: {
      const bool duration = id == kIdDurationEdit;
      if (code == EN_KILLFOCUS) ValidateNumberEditIn(control, duration);
      if (code == EN_UPDATE) StripNonDigitsIn(control);
      if (code == EN_CHANGE) EditToTrackBar(control, duration ? c_.durationTrack : c_.delayTrack, duration);
      return;
    }
    case kIdQuality:
      if (code == CBN_SELENDOK) settings.Resize = static_cast<uint8_t>(std::max(ComboSelection(c_.quality), 0));
      return;
    case kIdScreens:
      if (code == CBN_SELENDOK && ComboSelection(c_.screens) == 0) RunImagesPerScreenDialog(window_);
      return;
    default:
      break;
  }
  if (code != BN_CLICKED) return;
  switch (id) {
    case kIdAutoRotate:
      settings.ignoreexif = !IsChecked(c_.autoRotate);
      ResendInputOptions();
      ShowProperties(TreeView_GetSelection(c_.pictureTree));
      break;
    case kIdAddFolder:
      AddFolderCommand();
      break;
    case kIdRemove:
      RemoveCommand();
      break;
    case kIdAddPicture:
      AddPictureCommand();
      break;
    case kIdRefreshFolder:
      RefreshFolderCommand();
      break;
    case kIdIncludeSubdirs:
    case kIdAutoRefresh:
      FolderFlagClicked(id == kIdIncludeSubdirs);
      break;
    case kIdHelp:
      ShowPageHelp();
      break;
    case kIdOk:
    case kIdCancel:
    case kIdPreview:
      // While an effect preview runs, these stop it first and happen afterwards.
      if (DeferIfPreviewing(window_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control))) break;
      if (id == kIdOk) SaveAndExit();
      if (id == kIdCancel) ReleaseDialog();
      RunSaverPreview();
      break;
    case kIdSelectAll:
    case kIdSelectNone:
      SetAllEffects(id == kIdSelectAll);
      break;
    case kIdStartFromRandom:
      if (IsChecked(c_.startFromRandom) && IsChecked(c_.startFromPrevious)) SetChecked(c_.startFromPrevious, false);
      break;
    case kIdStartFromPrevious:
      if (IsChecked(c_.startFromPrevious) && IsChecked(c_.startFromRandom)) SetChecked(c_.startFromRandom, false);
      break;
    case kIdFont:
      ChooseCaptionFont();
      break;
    case kIdShowFileName:
      UpdateTextControls();
      break;
    case kIdFillScreen:
      settings.crop = IsChecked(c_.fillScreen);
      if (previewBitmap_) previewBitmap_->Crop = settings.crop;
      UpdateBackgroundControl();
      ResendInputOptions();
      break;
    case kIdBlurredBackground:
      // At once, like Fill the screen: the next picture the preview shows has it.
      settings.Background = IsChecked(c_.blurredBackground);
      break;
    case kIdPanAndZoom:
      // At once: a running effect preview lets its pictures move between the transitions.
      settings.Motion = IsChecked(c_.panAndZoom);
      if (activeRun_) settings.Delay = EffectPreviewStay(settings);
      break;
    case kIdFilter:
      RunFilterDialog(window_, [this] { RestoreFilteredPictures(); });
      break;
    default:
      break;
  }
}

void SettingsDialog::RestoreFilteredPictures() {
  treeBuild_->WaitIdle();
  TheCatalogue().RestoreAllFiltered();
  StartTreeBuild(false);
}

LRESULT SettingsDialog::OnNotify(const NMHDR& header) {
  if (header.idFrom == kIdTab && header.code == static_cast<UINT>(TCN_SELCHANGE)) {
    if (DeferIfPreviewing(window_, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header))) return 0;
    if (GetFocus() != tabs_->Tab()) SetFocus(tabs_->Tab());
    tabs_->Refresh();
  }
  if (header.idFrom == kIdEffectsTree && header.code == static_cast<UINT>(TVN_SELCHANGEDA)) EffectSelectionChanged();
  if (header.idFrom == kIdPictureTree && header.code == static_cast<UINT>(TVN_SELCHANGEDA) && !quietSelection_)
    ShowProperties(TreeView_GetSelection(c_.pictureTree));
  if (header.idFrom == kIdPictureTree && header.code == static_cast<UINT>(TVN_ITEMEXPANDINGA)) {
    const auto& notice = reinterpret_cast<const NMTREEVIEWA&>(header);
    if ((notice.action & TVE_EXPAND) && !OpenFolderNode(notice.itemNew.hItem)) return TRUE;  // refused
  }
  return 0;
}

}  // namespace kelv::ui
