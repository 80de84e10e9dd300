// The settings dialog's controls, page by page, at their places in 96-dpi units. Controls
// listed under a group box are its children, placed relative to it.
#include <windows.h>

#include <commctrl.h>

#include "common/exception.hpp"
#include "common/version.hpp"
#include "ui/control_factories_win.hpp"
#include "ui/dialog_values.hpp"
#include "ui/hyperlink_win.hpp"
#include "ui/settings_dialog_win.hpp"

namespace kelv::ui {

namespace {

enum Page : int32_t { kGeneral = kPageGeneral, kPhotos = kPagePhotos, kEffects = kPageEffects, kAbout = kPageAbout };

constexpr const char* kHomePage = "https://www.kelvora.com/";
constexpr const char* kSupportPage = "https://www.kelvora.com/support/";

void AddItems(HWND combo, std::initializer_list<const char*> items) {
  for (const char* item : items) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
}

}  // namespace

void SettingsDialog::BuildControls() {
  BuildTabAndPages();
  BuildPhotosPage();
  BuildGeneralPage();
  BuildAboutPage();
  BuildEffectsPage();
  BuildBottomRow();
  if (!CreateToolTips()) throw Exception("can't create tooltip");
  AddToolTips();
  Framework::Get().RepaintTrackbars() = {c_.delayTrack, c_.durationTrack};
  tabs_->Refresh();
}

void SettingsDialog::BuildTabAndPages() {
  HWND tab = CreateTabControl(window_, kIdTab, "Main_TAB", {10, 10, 583, 395}, SettingsPageCallback());
  tabs_ = std::make_unique<TmyTabControl>(tab);
  const char* captions[4] = {"General", "Photos", "Effects", "About"};
  for (int32_t i = 0; i < 4; ++i) page_[i] = tabs_->AddPage(captions[i]);
}

void SettingsDialog::BuildGeneralPage() {
  HWND page = page_[kGeneral];
  auto add = [&](HWND control) { tabs_->AddWindow(kGeneral, control); return control; };

  HWND delay = add(CreateGroupBox(page, kIdDelayGroup, "Time delay", {16, 15, 260, 106}));
  c_.delayEdit = CreateEdit(delay, kIdDelayEdit, "0", {35, 29, 52, 21});
  CreateLabel(delay, kIdSecondsDelay, "seconds", {90, 31, 45, 25});
  c_.delayTrack = add(CreateTrackBar(page, kIdDelayTrack, "track 1", {26, 80, 240, 30}, 0, 60));

  HWND resize = add(CreateGroupBox(page, kIdResizeGroup, "Resize images", {296, 15, 260, 106}));
  c_.enlarge = CreateCheckBox(resize, kIdEnlarge, "Enlarge to screen size", {20, 22, 125, 16});
  c_.quality = CreateComboBox(resize, kIdQuality, "Quick resize", {20, 47, 120, 107});
  AddItems(c_.quality, {"Quick resize", "Good resize quality", "Best resize quality"});
  c_.fillScreen = CreateCheckBox(resize, kIdFillScreen, "Fill the screen", {160, 22, 85, 16});
  // Beside the quality box, level with it.
  c_.blurredBackground = CreateCheckBox(resize, kIdBlurredBackground, "Blurred background", {144, 49, 112, 16});
  c_.screens = CreateComboBox(resize, kIdScreens, "1 Image per screen", {20, 73, 220, 107});
  AddItems(c_.screens, {"Random number of images per screen...", "1 image per screen", "4 images per screen",
                        "9 images per screen", "16 images per screen", "25 images per screen"});

  HWND order = add(CreateGroupBox(page, 0, "Display order", {16, 136, 260, 106}));
  c_.sequential = CreateRadioButton(order, kIdSequential, "Sequential", {20, 24, 90, 16});
  c_.reverse = CreateRadioButton(order, kIdReverse, "Reverse", {20, 49, 90, 16});
  c_.random = CreateRadioButton(order, kIdRandom, "Random", {20, 74, 90, 16});
  c_.startFromPrevious = CreateCheckBox(order, kIdStartFromPrevious, "Start from previous", {135, 24, 110, 16});
  c_.startFromRandom = CreateCheckBox(order, kIdStartFromRandom, "Start from random", {135, 49, 110, 16});

  HWND events = add(CreateGroupBox(page, 0, "Events", {16, 257, 260, 96}));
  c_.arrowKeys = CreateCheckBox(events, 0, "Use arrow keys", {20, 20, 110, 16});
  c_.spacebar = CreateCheckBox(events, kIdSpacebar, "Spacebar pauses the screensaver", {20, 43, 230, 16});
  c_.wallpaper = CreateCheckBox(events, 0, "Set wallpaper on exit", {20, 66, 140, 16});
  c_.mouseMove = CreateCheckBox(events, 0, "Exit on mouse move", {130, 20, 120, 16});

  // The Text box reaches 20 units further down than it first did, for Include date taken.
  HWND text = add(CreateGroupBox(page, kIdTextGroup, "Text", {296, 136, 260, 187}));
  c_.showFileName = CreateCheckBox(text, kIdShowFileName, "Show file name (F)", {20, 20, 110, 16});
  c_.transparent = CreateCheckBox(text, kIdTransparent, "Transparent", {40, 45, 80, 16});
  c_.font = CreateButton(text, kIdFont, "Font", {160, 30, 80, 23});
  c_.includePath = CreateCheckBox(text, kIdIncludePath, "Include path", {150, 90, 100, 16});
  c_.includeFolder = CreateCheckBox(text, kIdIncludeFolder, "Include folder", {150, 110, 105, 16});
  c_.includeExtension = CreateCheckBox(text, kIdIncludeExtension, "Include extension", {150, 130, 105, 16});
  c_.includeDate = CreateCheckBox(text, kIdIncludeDate, "Include date taken", {150, 150, 106, 16});

  HWND position = add(CreateGroupBox(page, 0, "Position", {316, 216, 110, 78}));
  // The Position box stands inside the Text box's area: it goes just above the Text box
  // in the order of siblings, or the Text box (clipping its siblings) would hide it.
  HWND aboveText = GetWindow(text, GW_HWNDPREV);
  SetWindowPos(position, aboveText ? aboveText : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  c_.top = CreateRadioButton(position, kIdTop, "Top", {27, 17, 70, 16});
  c_.center = CreateRadioButton(position, kIdCenter, "Center", {27, 35, 70, 16});
  c_.bottom = CreateRadioButton(position, kIdBottom, "Bottom", {27, 53, 70, 16});

  // Below the Text box (which reaches down to 323 since it holds Include date taken).
  c_.everyMonitor = add(CreateCheckBox(page, kIdEveryMonitor, "Pictures on every monitor", {306, 330, 180, 16}));
}

void SettingsDialog::BuildPhotosPage() {
  HWND page = page_[kPhotos];
  auto add = [&](HWND control) { tabs_->AddWindow(kPhotos, control); return control; };

  HWND list = add(CreateGroupBox(page, 0, "", {6, 4, 210, 359}));
  c_.pictureTree = CreateTreeView(list, kIdPictureTree, "Tree Images", {10, 16, 190, 240});
  CreateButton(list, kIdAddFolder, "Add folder", {10, 276, 90, 20});
  CreateButton(list, kIdRemove, "Remove", {110, 276, 90, 20});
  CreateButton(list, kIdAddPicture, "Add picture", {10, 306, 90, 20});
  CreateButton(list, kIdFilter, "Filter...", {110, 306, 90, 20});
  c_.autoRotate = CreateCheckBox(list, kIdAutoRotate, "Auto rotate photos (EXIF)", {20, 332, 150, 20});

  c_.picturePreview =
      add(CreatePicturePreviewWindow(page, kIdPicturePreview, 236, 20, previewWidth_, previewHeight_,
                                                  PicturePreviewProc));

  HWND properties = add(CreateGroupBox(page, 0, "Image properties", {226, 275, 340, 88}));
  c_.propertiesGroup = properties;
  c_.widthLabel = CreateLabel(properties, 0, "Width : ", {20, 20, 120, 20});
  c_.heightLabel = CreateLabel(properties, 0, "Height : ", {20, 43, 120, 20});
  c_.formatLabel = CreateLabel(properties, 0, "Format : ", {20, 66, 120, 20});
  c_.refreshFolder = CreateButton(properties, kIdRefreshFolder, "Refresh folder", {170, 20, 103, 25});
  c_.includeSubdirs = CreateCheckBox(properties, kIdIncludeSubdirs, "Include subdirectories", {20, 40, 150, 20});
  c_.autoRefresh = CreateCheckBox(properties, kIdAutoRefresh, "Auto Refresh", {180, 50, 150, 20});
  c_.sizeLabel = CreateLabel(properties, 0, "Size : ", {170, 20, 120, 20});
  // The picture's properties and the folder's controls share the box; nothing is selected
  // yet, so the picture's (empty) properties show.
  ShowPropertiesMode(PropertiesMode::Picture);
}

void SettingsDialog::BuildEffectsPage() {
  HWND page = page_[kEffects];
  auto add = [&](HWND control) { tabs_->AddWindow(kEffects, control); return control; };

  c_.effectsTree = add(CreateCheckTreeView(page, kIdEffectsTree, "Tree Effects", {16, 20, 220, 225}));
  c_.effectPreview = add(CreateEffectPreviewWindow(page, kIdEffectPreview, {256, 20, 300, 225}, EffectPreviewProc));
  add(CreateButton(page, kIdSelectAll, "Select all", {21, 255, 90, 23}));
  add(CreateButton(page, kIdSelectNone, "Select none", {131, 255, 90, 23}));
  c_.directDraw = add(CreateCheckBox(page, kIdDirectDraw, "Use DirectDraw", {26, 295, 180, 16}));
  // In the free room below Use DirectDraw, left of the duration box.
  c_.panAndZoom = add(CreateCheckBox(page, kIdPanAndZoom, "Pan and zoom", {26, 320, 180, 16}));

  HWND duration = add(CreateGroupBox(page, kIdDurationGroup, "Transition effect duration", {248, 265, 318, 93}));
  c_.durationEdit = CreateEdit(duration, kIdDurationEdit, "0", {35, 23, 50, 21});
  CreateLabel(duration, kIdSecondsDuration, "seconds", {90, 25, 70, 25});
  c_.durationTrack = add(CreateTrackBar(page, kIdDurationTrack, "track 2", {254, 319, 305, 30}, 1, 30));
}

void SettingsDialog::BuildAboutPage() {
  HWND page = page_[kAbout];
  auto add = [&](HWND control) { tabs_->AddWindow(kAbout, control); return control; };

  add(CreateTitleLabel(page, 0, "Kelvora", {126, 28, 450, 31}));
  add(CreateLabel(page, 0, VersionLabelText(kProgramVersionWord).c_str(), {266, 68, 120, 25}));
  add(CreateLabel(page, 0, "Home page :", {186, 178, 80, 20}));
  add(CreateHyperlink(page, 286, 178, 20, kHomePage));
  add(CreateLabel(page, 0, "Technical support :", {186, 228, 100, 20}));
  add(CreateHyperlink(page, 286, 228, 20, kSupportPage));
}

void SettingsDialog::BuildBottomRow() {
  c_.help = CreateButton(window_, kIdHelp, "Help", {10, 412, 75, 23});
  c_.ok = CreateButton(window_, kIdOk, "OK", {347, 412, 75, 23});
  c_.cancel = CreateButton(window_, kIdCancel, "Cancel", {432, 412, 75, 23});
  c_.preview = CreateButton(window_, kIdPreview, "Preview", {517, 412, 75, 23});
}

void SettingsDialog::AddToolTips() {
  const std::pair<int32_t, const char*> tips[] = {
      {kIdOk, "Save changes and exit"},
      {kIdCancel, "Exit without saving"},
      {kIdPreview, "Run screensaver"},
      {kIdAddFolder, "Add a folder to the list"},
      {kIdAddPicture, "Add a picture to the list"},
      {kIdRemove, "Remove the selected folder or image from the list"},
      {kIdRefreshFolder, "Refresh the folder selected in the list"},
      {kIdAutoRefresh, "Refresh the folder selected in the list automatically at the program start"},
      {kIdIncludeSubdirs, "Search for images in subdirectories of the selected folder"},
      {kIdFillScreen, "Crop a part of an image according to the screen aspect ratio"},
      {kIdBlurredBackground, "Fill the bars beside a picture with a blurred, darker copy of it"},
      {kIdSequential, "1-2-3-..."},
      {kIdReverse, "...-3-2-1"},
      {kIdStartFromPrevious, "Start where you left off last time"},
      {kIdIncludeDate, "Add the date the photo was taken (EXIF) after its name"},
      {kIdEveryMonitor, "Show pictures on every monitor, not only on the main one"},
      {kIdPanAndZoom, "Let a picture drift and zoom slowly while it stays on the screen"},
  };
  for (const auto& [id, text] : tips) AddToolTip(ControlById(id), text);
  AddToolTip(c_.picturePreview, "Preview of pictures");
  AddToolTip(c_.effectPreview, "Preview of effects");
}

}  // namespace kelv::ui
