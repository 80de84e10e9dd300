// The settings dialog: one top-level window with a tab control of four pages (General,
// Photos, Effects, About) and Help, OK, Cancel and Preview along the bottom. It edits the
// process-wide settings record; OK saves and ends the process, Cancel and the close box end
// it without writing anything.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "common/owners_win.hpp"
#include "imaging/bitmap.hpp"
#include "settings/settings_store.hpp"
#include "show/show_effects.hpp"
#include "ui/dialog_values.hpp"
#include "ui/help_topics.hpp"
#include "ui/help_win.hpp"
#include "ui/folder_slots.hpp"
#include "ui/picture_tree_build_win.hpp"
#include "ui/tab_control_win.hpp"
#include "ui/ui_framework_win.hpp"

namespace kelv {
class SaverRun;
}

namespace kelv::ui {

inline constexpr const char* kSettingsClassName = "KSSW_Kelvora";
inline constexpr const char* kSettingsTitle = "Kelvora";

// Control ids of the settings dialog.
enum : int32_t {
  kIdAddFolder = 4, kIdRemove = 5, kIdIncludeSubdirs = 6, kIdAutoRefresh = 7, kIdAutoRotate = 8,
  kIdPicturePreview = 9, kIdHelp = 13, kIdSecondsDelay = 14, kIdDelayEdit = 15, kIdOk = 16, kIdCancel = 17,
  kIdSecondsDuration = 19, kIdDurationEdit = 20, kIdEnlarge = 21, kIdResizeGroup = 23, kIdDelayGroup = 24,
  kIdDurationGroup = 25, kIdPreview = 26, kIdTab = 27, kIdDelayTrack = 28, kIdDurationTrack = 29,
  kIdSequential = 32, kIdRandom = 33, kIdStartFromRandom = 34, kIdReverse = 35, kIdEffectPreview = 39,
  kIdDirectDraw = 41, kIdStartFromPrevious = 42, kIdSpacebar = 44, kIdEffectsTree = 50, kIdSelectAll = 51,
  kIdSelectNone = 52, kIdScreens = 53, kIdPictureTree = 54, kIdFont = 55, kIdShowFileName = 56, kIdTop = 57,
  kIdBottom = 58, kIdCenter = 59, kIdIncludePath = 61, kIdIncludeExtension = 62, kIdAddPicture = 63,
  kIdTextGroup = 64, kIdRefreshFolder = 65, kIdFillScreen = 66, kIdQuality = 70, kIdTransparent = 73,
  kIdIncludeFolder = 74, kIdFilter = 81, kIdBlurredBackground = 88,
  kIdIncludeDate = 91, kIdEveryMonitor = 92, kIdPanAndZoom = 93,
};

// The handles of the controls the dialog reads, fills or enables.
struct SettingsControls {
  HWND delayEdit, delayTrack, durationEdit, durationTrack;
  HWND enlarge, quality, fillScreen, blurredBackground, screens;
  HWND sequential, reverse, random, startFromPrevious, startFromRandom;
  HWND arrowKeys, spacebar, wallpaper, mouseMove, everyMonitor, panAndZoom;
  HWND showFileName, transparent, font, includePath, includeFolder, includeExtension;
  HWND includeDate;
  HWND top, center, bottom;
  HWND pictureTree, autoRotate, picturePreview, refreshFolder, includeSubdirs, autoRefresh;
  HWND widthLabel, heightLabel, formatLabel, sizeLabel, propertiesGroup;
  HWND effectsTree, effectPreview, directDraw;
  HWND help, ok, cancel, preview;
};

// Sent by the show thread of a preview when the size filter takes a picture out: wParam
// its catalogue entry, lParam its position there. The picture tree drops its node.
inline constexpr UINT kPictureFilteredMessage = WM_APP + 2;

// The pages in tab order.
enum : int32_t { kPageGeneral = 0, kPagePhotos = 1, kPageEffects = 2, kPageAbout = 3 };

// A message that arrived while an effect preview ran: it is handled once the preview has
// stopped. A notification keeps a copy of its header.
struct DeferredMessage {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  NMHDR header{};
};

// The Image properties box shows a picture's properties or a folder's controls.
enum class PropertiesMode { Picture, Folder };

class SettingsDialog {
public:
  explicit SettingsDialog(const SettingsHooks& hooks);
  SettingsDialog(const SettingsDialog&) = delete;
  SettingsDialog& operator=(const SettingsDialog&) = delete;

  // The whole dialog; returns only when its window class or window cannot be made.
  void Run();

  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // The page the tab shows, told after the tab or a page has painted.
  void PageShown(HWND tab);
  // The dialog of a window of it (the main window or any window below it), or null.
  static SettingsDialog* Of(HWND window);
  // The picture preview shows the preview bitmap.
  void PaintPicturePreview(HWND preview);

  HWND Window() const { return window_; }
  TmyTabControl& Tabs() { return *tabs_; }

private:
  bool CreateMainWindow();
  void BuildControls();
  void BuildTabAndPages();
  void BuildGeneralPage();
  void BuildPhotosPage();
  void BuildEffectsPage();
  void BuildAboutPage();
  void BuildBottomRow();

  // Photos page.
  void StartTreeBuild(bool threaded);
  void OnTreeBuilt();
  void ShowPropertiesMode(PropertiesMode mode);
  void ResetPropertyLabels();
  void ClearPreview();
  void CopyPreview();
  // The properties of a node (null: none selected); the trace then lists the controls.
  void ShowProperties(HTREEITEM item);
  void ShowPropertiesOf(HTREEITEM item);
  void PhotosPageArrived();
  std::string BrowseForFolder(const char* title);
  std::vector<std::string> OpenPictureFiles();
  void AddFolderCommand();
  void AddPictureCommand();
  void RemoveCommand();
  // Renumbers the picture nodes after `item` (data `data`) in its folder for its removal;
  // returns the node to select instead (the next, else the previous).
  HTREEITEM RenumberAfter(HTREEITEM item, uint32_t data);
  // A preview's show took picture `position` of `entry` out (size filter): its node goes.
  void DropFilteredNode(int32_t entry, int32_t position);
  // A folder node is being opened: its picture nodes are made the first time (false:
  // refused, while a preview's show may change the catalogue).
  bool OpenFolderNode(HTREEITEM item);
  void RefreshFolderCommand();
  void FolderFlagClicked(bool includeSubdirs);
  // The Filter dialog changed the filter: every filtered picture comes back and the tree
  // is built again.
  void RestoreFilteredPictures();
  void AddToolTips();

  void FillControls();
  void ReadControls();
  DialogValues ValuesFromControls() const;
  void UpdateTextControls();
  void UpdateBackgroundControl();

  void OnCommand(int32_t id, int32_t code, HWND control);
  LRESULT OnNotify(const NMHDR& header);
  void OnTrackBarMoved(HWND trackbar);
  void StripNonDigitsIn(HWND edit);
  void ValidateNumberEditIn(HWND edit, bool duration);
  void EditToTrackBar(HWND edit, HWND trackbar, bool duration);
  void ChooseCaptionFont();
  void ShowPageHelp();

  [[noreturn]] void SaveAndExit();

  // Effects page.
  void FillEffectsTree();
  void EffectSelectionChanged();
  void SetAllEffects(bool enabled);
  void RunEffectPreview();
  // While an effect preview runs: stops it and keeps the message for afterwards (true).
  bool DeferIfPreviewing(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void DeliverDeferred();
  void SetPreviewDuration(int32_t milliseconds);
  void RunSaverPreview();
  // Before a preview: the tree's worker, which reads the picture lists the show may change,
  // has ended (false: another preview started meanwhile).
  bool WaitForTreeBuild();
  // After a preview whose show filtered pictures out: the selection's properties are shown
  // again (its node may have moved, its folder's count changed).
  void AfterPreview();
  void DrawPreviewFrames(HWND tab, HWND preview);
  void DrawOrderSeparator(HWND tab);
  [[noreturn]] void ReleaseDialog();

  SettingsHooks hooks_;
  HWND window_ = nullptr;
  std::unique_ptr<TmyTabControl> tabs_;
  SettingsControls c_{};
  HWND page_[4]{};
  int32_t previewWidth_ = 0;
  int32_t previewHeight_ = 0;
  std::unique_ptr<TBitmap> previewBitmap_;
  win::WindowDC previewDC_;
  UniqueBrush highlightBrush_, shadowBrush_;
  UniquePen shadowPen_, highlightPen_;
  int32_t lastPageShown_ = -1;
  std::unique_ptr<HtmlHelpViewer> help_ = std::make_unique<HtmlHelpViewer>();
  bool releasing_ = false;
  std::unique_ptr<FolderSlots> slots_ = std::make_unique<FolderSlots>();
  std::unique_ptr<PictureTreeBuild> treeBuild_ = std::make_unique<PictureTreeBuild>(*slots_);
  PropertiesMode propertiesMode_ = PropertiesMode::Picture;
  bool propertiesStale_ = true;
  bool comInitialised_ = false;
  // The run of a running effect preview (null when none runs), the effects the next one
  // shows, and whether the current one stops only to start again with them.
  SaverRun* activeRun_ = nullptr;
  std::vector<EffectEntry> pendingEffects_;
  bool restartPreview_ = false;
  bool saverPreviewRunning_ = false;
  bool waitingForTree_ = false;
  // A selection that the dialog itself moves shows no properties now (during a preview the
  // show is using the decoder); they are shown again after the preview.
  bool quietSelection_ = false;
  bool reshowProperties_ = false;
  DeferredMessage deferred_;
};

// The tab control's page-change callback: tells the dialog of the main window.
PageChangeCallback SettingsPageCallback();
// The two preview windows' procedures.
LRESULT CALLBACK EffectPreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PicturePreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the settings dialog with the program's settings load and save; returns only when
// its window class or window cannot be made (the dialog otherwise ends the process).
void RunSettingsDialog(const SettingsHooks& hooks);

}  // namespace kelv::ui
