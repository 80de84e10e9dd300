// The Photos page: the picture tree's commands (add a folder or pictures, remove, refresh a
// folder, its two flags) and the properties and preview of the selected node.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <cmath>

#include "catalogue/folder_scan.hpp"
#include "catalogue/pic_list.hpp"
#include "common/code_page_win.hpp"
#include "common/exception.hpp"
#include "common/owners_win.hpp"
#include "common/test_trace.hpp"
#include "plugins/plugin_host.hpp"
#include "settings/registry.hpp"
#include "show/compose.hpp"
#include "ui/control_trace_win.hpp"
#include "ui/open_file_filter.hpp"
#include "ui/settings_dialog_win.hpp"
#include "ui/small_dialogs_win.hpp"
#include "ui/ui_framework_win.hpp"

namespace kelv::ui {

namespace {

constexpr const char* kDialogPathValue = "DialogPath";

void SetData(HWND tree, HTREEITEM item, uint32_t data) {
  TVITEMA tv{};
  tv.mask = TVIF_PARAM | TVIF_HANDLE;
  tv.hItem = item;
  tv.lParam = static_cast<LPARAM>(data);
  TreeView_SetItem(tree, &tv);
}

void SetText(HWND control, const std::string& text) { SetWindowTextA(control, text.c_str()); }

// The property labels are transparent over a group box that leaves its background to the
// page, so nothing erases a label's old text: it is wiped (with the colour the box's own
// wipe uses) before the new one is drawn over it. Without themes a label paints opaque.
void SetPropertyText(HWND label, const std::string& text) {
  if (GetControlText(label) == text) return;
  if (Framework::Get().ThemesActive() && IsWindowVisible(label)) {
    RECT area{};
    GetClientRect(label, &area);
    if (win::WindowDC dc(label); dc) FillRect(dc.get(), &area, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
  }
  SetWindowTextA(label, text.c_str());
}

// The wait cursor over the dialog and over the picture tree for a scope.
class BusyCursors {
public:
  BusyCursors() {
    HCURSOR wait = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
    Framework::Get().SetBusyCursor(wait);
    Framework::Get().SetTreeBusyCursor(wait);
    SetCursor(wait);
  }
  ~BusyCursors() {
    Framework::Get().SetBusyCursor(nullptr);
    Framework::Get().SetTreeBusyCursor(nullptr);
  }
  BusyCursors(const BusyCursors&) = delete;
  BusyCursors& operator=(const BusyCursors&) = delete;
};

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED && start) SendMessageA(window, BFFM_SETSELECTIONA, TRUE, start);
  return 0;
}

std::string ReadDialogPath() {
  std::unique_ptr<RegistryKey> key = SystemRegistry().Open(Hive::CurrentUser, kProductKey, KeyAccess::Read);
  return key ? ReadStringValue(*key, kDialogPathValue).value_or(std::string()) : std::string();
}

void WriteDialogPath(const std::string& path) {
  if (std::unique_ptr<RegistryKey> key = SystemRegistry().Open(Hive::CurrentUser, kProductKey, KeyAccess::Create))
    key->SetString(kDialogPathValue, path);
}

}  // namespace

void SettingsDialog::StartTreeBuild(bool threaded) { treeBuild_->Start(c_.pictureTree, window_, threaded); }

void SettingsDialog::OnTreeBuilt() {
  AppendTraceLine(TestTracePath(), "picture tree built nodes=" + std::to_string(TreeView_GetCount(c_.pictureTree)));
  lastPageShown_ = -1;
  PageShown(tabs_->Tab());
}

void SettingsDialog::ShowPropertiesMode(PropertiesMode mode) {
  const bool changed = mode != propertiesMode_ || propertiesStale_;
  propertiesMode_ = mode;
  propertiesStale_ = false;
  const int pictureShow = mode == PropertiesMode::Picture ? SW_SHOW : SW_HIDE;
  const int folderShow = mode == PropertiesMode::Folder ? SW_SHOW : SW_HIDE;
  for (HWND label : {c_.heightLabel, c_.formatLabel, c_.sizeLabel}) ShowWindow(label, pictureShow);
  for (HWND control : {c_.refreshFolder, c_.includeSubdirs, c_.autoRefresh}) ShowWindow(control, folderShow);
  SetText(c_.propertiesGroup, mode == PropertiesMode::Folder ? "Folder properties" : "Image properties");
  if (changed) {
    // The group box leaves its background to the page and the page does not erase under
    // it, so the texts of the set just hidden are wiped here before the box repaints.
    RECT area{};
    GetClientRect(c_.propertiesGroup, &area);
    if (win::WindowDC dc(c_.propertiesGroup); dc) FillRect(dc.get(), &area, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
    InvalidateTabRow(tabs_->Tab());
    RepaintWithChildren(c_.propertiesGroup);
  }
}

void SettingsDialog::ResetPropertyLabels() {
  SetPropertyText(c_.widthLabel, "Width : ");
  SetPropertyText(c_.heightLabel, "Height : ");
  SetPropertyText(c_.formatLabel, "Format : ");
  SetPropertyText(c_.sizeLabel, "Size : ");
}

void SettingsDialog::ClearPreview() {
  if (!previewBitmap_) return;
  previewBitmap_->Clear();
  CopyPreview();
}

void SettingsDialog::CopyPreview() {
  if (previewBitmap_ && previewDC_)
    BitBlt(previewDC_.get(), 0, 0, previewBitmap_->Width, previewBitmap_->Height,
           static_cast<HDC>(previewBitmap_->DC), 0, 0, SRCCOPY);
}

void SettingsDialog::ShowProperties(HTREEITEM item) {
  ShowPropertiesOf(item);
  TraceControls(window_);
}

void SettingsDialog::ShowPropertiesOf(HTREEITEM item) {
  TPicList& catalogue = TheCatalogue();
  if (!item) {
    ShowPropertiesMode(catalogue.Count() > 1 ? PropertiesMode::Folder : PropertiesMode::Picture);
    return;
  }
  const uint32_t data = TreeItemData(c_.pictureTree, item);
  const uint32_t slot = SlotOf(data);
  const int32_t entryIndex = slots_->Entry(slot);
  if (slot != 0 && entryIndex == 0) return;  // a folder that has gone
  if (entryIndex >= catalogue.Count()) return;
  const TFolderItem* entry = catalogue.Item(entryIndex);
  const uint32_t number = NumberOf(data);

  if (number == 0) {
    ShowPropertiesMode(PropertiesMode::Folder);
    SetPropertyText(c_.widthLabel, std::to_string(entry->Pictures->size()) + " pictures");
    SetChecked(c_.includeSubdirs, entry->IncludeSubdirs);
    SetChecked(c_.autoRefresh, entry->AutoRefresh);
    ClearPreview();
    return;
  }
  ShowPropertiesMode(PropertiesMode::Picture);
  if (number > entry->Pictures->size() || !previewBitmap_) return;
  const Settings& settings = TheSettings();
  // Composed as the show would: shrunk to fit, enlarged as set, cropped with Fill the screen.
  previewBitmap_->Shrink = true;
  previewBitmap_->Enlarge = settings.Enlarge;
  previewBitmap_->Crop = settings.crop;
  const LoadResult picture = LoadPicture(*previewBitmap_, (*entry->Pictures)[number - 1]);
  SetPropertyText(c_.widthLabel, "Width : " + std::to_string(picture.width));
  SetPropertyText(c_.heightLabel, "Height : " + std::to_string(picture.height));
  SetPropertyText(c_.formatLabel, "Format : " + picture.formatName);
  SetPropertyText(c_.sizeLabel, picture.fileSize < 0
                            ? std::string("Size : ")
                            : "Size : " + std::to_string(std::llround(static_cast<double>(picture.fileSize) / 1024)) +
                                  " Kb");
  CopyPreview();
}

void SettingsDialog::PhotosPageArrived() {
  propertiesStale_ = true;
  HWND tree = c_.pictureTree;
  HTREEITEM selected = TreeView_GetSelection(tree);
  if (!selected) {
    if (HTREEITEM first = TreeView_GetRoot(tree))
      TreeView_SelectItem(tree, first);  // its selection change shows it
    else
      ShowProperties(nullptr);
  } else {
    ShowProperties(selected);
  }
}

std::string SettingsDialog::BrowseForFolder(const char* title) {
  if (!comInitialised_) comInitialised_ = SUCCEEDED(CoInitialize(nullptr));
  const std::string start = ReadDialogPath();
  BROWSEINFOA browse{};
  browse.hwndOwner = window_;
  browse.lpszTitle = title;
  // The edit box lets a folder be typed as well as picked.
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX;
  browse.lpfn = BrowseCallback;
  browse.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
  if (!chosen) return {};
  // The wide path, then the program's code page: in UTF-8 a path of fewer than MAX_PATH
  // characters may well need more than MAX_PATH bytes.
  wchar_t wide[MAX_PATH + 1] = {};
  const bool ok = SHGetPathFromIDListW(chosen, wide) != FALSE;
  CoTaskMemFree(chosen);
  if (!ok || !wide[0]) return {};
  const std::string path = win::ProgramFromWide(wide);
  if (path.empty()) return {};
  WriteDialogPath(path);
  return path;
}

void SettingsDialog::AddFolderCommand() {
  const std::string folder = BrowseForFolder("Select folder with pictures");
  if (folder.empty()) return;
  // The worker reads the catalogue: it finishes before the catalogue changes.
  treeBuild_->WaitIdle();
  BusyCursors busy;
  FolderScanner& scanner = TheScanner();
  TPicList& catalogue = TheCatalogue();
  scanner.IncludeSubdirs = true;
  scanner.RefreshFolder(folder, false);
  const int32_t index = catalogue.AddFolder(folder);
  TFolderItem* entry = catalogue.Item(index);
  entry->Pictures->append(scanner.ScanResult);

  ClearPreview();
  const uint32_t slot = slots_->Add(index);
  HTREEITEM node = PictureTreeBuild::InsertFolderNode(c_.pictureTree, entry->Path, slot, !entry->Pictures->empty());
  PictureTreeBuild::FillFolder(c_.pictureTree, node, *slots_);
  TreeView_SelectItem(c_.pictureTree, node);
  RepaintWithChildren(GetParent(c_.pictureTree));
}

std::vector<std::string> SettingsDialog::OpenPictureFiles() {
  std::vector<PictureFormat> formats;
  for (const InModule& module : InputModules()) {
    if (!module.enabled) continue;
    const TInModule& d = module.descriptor;
    for (int32_t i = 0; i < d.formatCount; ++i)
      formats.push_back({d.extensions && d.extensions[i] ? d.extensions[i] : "",
                         d.formatNames && d.formatNames[i] ? d.formatNames[i] : ""});
  }
  const std::string filter = BuildOpenFileFilter(formats);
  std::string buffer(10000, '\0');
  OPENFILENAMEA open{};
  open.lStructSize = sizeof open;
  open.hwndOwner = window_;
  open.lpstrFilter = filter.c_str();
  open.nFilterIndex = 1;
  open.lpstrFile = buffer.data();
  open.nMaxFile = static_cast<DWORD>(buffer.size());
  open.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameA(&open)) {
    if (const DWORD error = CommDlgExtendedError()) throw Exception("OpenFileName Fails = " + std::to_string(error));
    return {};
  }
  return SplitOpenFileResult(buffer);
}

void SettingsDialog::AddPictureCommand() {
  const std::vector<std::string> files = OpenPictureFiles();
  if (files.empty()) return;
  treeBuild_->WaitIdle();
  TPathList& singles = *TheCatalogue().Item(0)->Pictures;
  HTREEITEM last = nullptr;
  for (const std::string& file : files) {
    singles.push_back(file);
    last = PictureTreeBuild::InsertNode(c_.pictureTree, TVI_ROOT, FileNameOf(file),
                                        PictureNodeData(0, static_cast<uint32_t>(singles.size())));
  }
  if (last) {
    TreeView_SelectItem(c_.pictureTree, last);
    TreeView_EnsureVisible(c_.pictureTree, last);
  }
  RepaintWithChildren(GetParent(c_.pictureTree));
}

void SettingsDialog::RemoveCommand() {
  HWND tree = c_.pictureTree;
  HTREEITEM item = TreeView_GetSelection(tree);
  if (!item) return;
  treeBuild_->WaitIdle();
  TPicList& catalogue = TheCatalogue();
  const uint32_t data = TreeItemData(tree, item);
  const uint32_t slot = SlotOf(data);
  const int32_t entryIndex = slots_->Entry(slot);
  if ((slot != 0 && entryIndex == 0) || entryIndex >= catalogue.Count()) return;

  if (NumberOf(data) == 0) {
    ClearPreview();
    ResetPropertyLabels();
    TreeView_DeleteItem(tree, item);
    slots_->RemoveEntry(slot);
    catalogue.DeleteItem(entryIndex);
    if (catalogue.Count() == 1 && catalogue.Item(0)->Pictures->empty()) ShowProperties(nullptr);
    return;
  }
  // A picture: the node after it (else the one before) is selected before it goes, so
  // that exactly that node's properties show.
  HTREEITEM following = RenumberAfter(item, data);
  ResetPropertyLabels();
  TPathList& pictures = *catalogue.Item(entryIndex)->Pictures;
  if (NumberOf(data) <= pictures.size()) pictures.erase(NumberOf(data) - 1);
  ClearPreview();
  if (following) TreeView_SelectItem(tree, following);  // its selection change shows it
  HTREEITEM parent = TreeView_GetParent(tree, item);
  TreeView_DeleteItem(tree, item);
  if (parent && !TreeView_GetChild(tree, parent)) PictureTreeBuild::SetHasChildren(tree, parent, false);
}

HTREEITEM SettingsDialog::RenumberAfter(HTREEITEM item, uint32_t data) {
  HWND tree = c_.pictureTree;
  // The pictures after it in its folder move up by one.
  for (HTREEITEM next = TreeView_GetNextSibling(tree, item); next; next = TreeView_GetNextSibling(tree, next)) {
    const uint32_t d = TreeItemData(tree, next);
    if (SlotOf(d) == SlotOf(data) && NumberOf(d) > NumberOf(data)) SetData(tree, next, d - 1);
  }
  HTREEITEM following = TreeView_GetNextSibling(tree, item);
  return following ? following : TreeView_GetPrevSibling(tree, item);
}

void SettingsDialog::DropFilteredNode(int32_t entry, int32_t position) {
  HWND tree = c_.pictureTree;
  // A folder's count of pictures changed too: the selection's properties are shown again
  // after the preview.
  reshowProperties_ = true;
  // Node numbers count from 1 and keep 16 bits.
  if (entry < 0 || position < 0 || position >= 0xFFFF) return;
  uint32_t slot = 0;
  HTREEITEM node = TreeView_GetRoot(tree);
  if (entry > 0) {
    slot = slots_->SlotFor(entry);
    if (slot == 0) return;
    while (node && TreeItemData(tree, node) != PictureNodeData(slot, 0)) node = TreeView_GetNextSibling(tree, node);
    // A folder whose picture nodes are not made yet makes them from the catalogue as it
    // is by then.
    if (!node) return;
    node = TreeView_GetChild(tree, node);
  }
  const uint32_t data = PictureNodeData(slot, static_cast<uint32_t>(position) + 1);
  while (node && TreeItemData(tree, node) != data) node = TreeView_GetNextSibling(tree, node);
  if (!node) return;  // beyond the folder's node cap
  HTREEITEM following = RenumberAfter(node, data);
  HTREEITEM parent = TreeView_GetParent(tree, node);
  if (TreeView_GetSelection(tree) == node) {
    quietSelection_ = true;
    if (following) TreeView_SelectItem(tree, following);
    TreeView_DeleteItem(tree, node);
    quietSelection_ = false;
  } else {
    TreeView_DeleteItem(tree, node);
  }
  if (parent && !TreeView_GetChild(tree, parent)) PictureTreeBuild::SetHasChildren(tree, parent, false);
}

bool SettingsDialog::OpenFolderNode(HTREEITEM item) {
  const uint32_t data = TreeItemData(c_.pictureTree, item);
  if (NumberOf(data) != 0 || SlotOf(data) == 0 || slots_->Filled(SlotOf(data))) return true;
  // A preview's show may be taking pictures out of the lists: the nodes wait for its end.
  if (activeRun_ || saverPreviewRunning_) return false;
  if (PictureTreeBuild::FillFolder(c_.pictureTree, item, *slots_))
    AppendTraceLine(TestTracePath(),
                    "picture tree folder filled nodes=" + std::to_string(TreeView_GetCount(c_.pictureTree)));
  return true;
}

void SettingsDialog::RefreshFolderCommand() {
  HWND tree = c_.pictureTree;
  HTREEITEM item = TreeView_GetSelection(tree);
  if (!item) return;
  const uint32_t data = TreeItemData(tree, item);
  const uint32_t slot = SlotOf(data);
  const int32_t entryIndex = slots_->Entry(slot);
  if (NumberOf(data) != 0 || slot == 0 || entryIndex == 0) return;
  treeBuild_->WaitIdle();
  BusyCursors busy;
  TFolderItem* entry = TheCatalogue().Item(entryIndex);
  entry->Pictures->clear();
  entry->Filtered->clear();
  FolderScanner& scanner = TheScanner();
  scanner.IncludeSubdirs = entry->IncludeSubdirs;
  scanner.RefreshFolder(entry->Path, false);
  entry->Pictures->assign(scanner.ScanResult);
  TreeView_Expand(tree, item, TVE_COLLAPSE | TVE_COLLAPSERESET);
  PictureTreeBuild::InsertPictures(tree, item, slot, *entry->Pictures, nullptr);
  slots_->MarkFilled(slot);
  PictureTreeBuild::SetHasChildren(tree, item, !entry->Pictures->empty());
  TreeView_Expand(tree, item, TVE_COLLAPSE);
  TreeView_SelectItem(tree, item);
  ShowProperties(item);
}

void SettingsDialog::FolderFlagClicked(bool includeSubdirs) {
  HTREEITEM item = TreeView_GetSelection(c_.pictureTree);
  if (!item) return;
  const uint32_t data = TreeItemData(c_.pictureTree, item);
  const int32_t entryIndex = slots_->Entry(SlotOf(data));
  if (NumberOf(data) != 0 || entryIndex == 0) return;
  TFolderItem* entry = TheCatalogue().Item(entryIndex);
  if (includeSubdirs) {
    entry->IncludeSubdirs = IsChecked(c_.includeSubdirs);
    RefreshFolderCommand();
  } else {
    entry->AutoRefresh = IsChecked(c_.autoRefresh);
    if (entry->AutoRefresh) RefreshFolderCommand();
  }
  TheCatalogue().Modified = true;
}

}  // namespace kelv::ui
