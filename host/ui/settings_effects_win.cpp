// The Effects page: the effects tree over the effect modules' enable state, the effect
// preview (the saver itself, run inside the preview window with the selected effects and
// no delay), the deferral of what would end a running preview, and the full-screen
// Preview button.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "catalogue/folder_scan.hpp"
#include "common/test_trace.hpp"
#include "plugins/plugin_host.hpp"
#include "saver/saver_run_win.hpp"
#include "show/display_order.hpp"
#include "show/show_effects.hpp"
#include "ui/dialog_values.hpp"
#include "ui/dpi_awareness_win.hpp"
#include "ui/effect_tree_rules.hpp"
#include "ui/picture_tree_build_win.hpp"
#include "ui/settings_dialog_win.hpp"
#include "ui/small_dialogs_win.hpp"

namespace kelv::ui {

namespace {

int StateOf(HWND tree, HTREEITEM item) {
  return static_cast<int>(TreeView_GetItemState(tree, item, TVIS_STATEIMAGEMASK) >> 12);
}

void SetState(HWND tree, HTREEITEM item, int state) {
  TreeView_SetItemState(tree, item, INDEXTOSTATEIMAGEMASK(state), TVIS_STATEIMAGEMASK);
}

HTREEITEM InsertNode(HWND tree, HTREEITEM parent, const std::string& text, uint32_t data, int state) {
  TVINSERTSTRUCTA insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
  insert.item.pszText = const_cast<char*>(text.c_str());
  insert.item.lParam = static_cast<LPARAM>(data);
  insert.item.state = INDEXTOSTATEIMAGEMASK(state);
  insert.item.stateMask = TVIS_STATEIMAGEMASK;
  return TreeView_InsertItem(tree, &insert);
}

int32_t EffectCount(const TEffectModule& descriptor, int32_t group) {
  return descriptor.effectCounts && group >= 0 && group < descriptor.groupCount ? descriptor.effectCounts[group] : 0;
}

// A table of every entry keeps the picture: changes may then repeat an effect.
bool AllKeepThePicture(const std::vector<EffectEntry>& entries) {
  for (const EffectEntry& entry : entries)
    if (!(EffectFlagsOf(EffectModules(), entry) & KELV_FX_KEEPS_PICTURE)) return false;
  return true;
}

// Swaps the folder scan's result list for an empty one while a preview runs, so that the
// run finds no scan in progress; the old list comes back afterwards.
class ScanResultSet {
public:
  ScanResultSet() { saved_.swap(TheScanner().ScanResult); }
  ~ScanResultSet() { TheScanner().ScanResult.swap(saved_); }
  ScanResultSet(const ScanResultSet&) = delete;
  ScanResultSet& operator=(const ScanResultSet&) = delete;

private:
  std::vector<std::string> saved_;
};

// While a preview runs, its show tells the dialog of every picture the size filter takes
// out, before the picture leaves its list: the picture tree drops that node, so that the
// tree's numbers keep naming the catalogue's pictures. The message waits for the dialog's
// thread, which answers sent messages all through the run.
class FilteredPictureHook {
public:
  explicit FilteredPictureHook(HWND dialog) {
    TheDisplayOrderServices().filteredInDialog = [dialog](int32_t entry, int32_t position) {
      SendMessageA(dialog, kPictureFilteredMessage, static_cast<WPARAM>(entry), static_cast<LPARAM>(position));
    };
  }
  ~FilteredPictureHook() { TheDisplayOrderServices().filteredInDialog = nullptr; }
  FilteredPictureHook(const FilteredPictureHook&) = delete;
  FilteredPictureHook& operator=(const FilteredPictureHook&) = delete;
};

}  // namespace

void SettingsDialog::FillEffectsTree() {
  HWND tree = c_.effectsTree;
  TreeView_DeleteAllItems(tree);
  std::vector<EffectModule>& modules = EffectModules();
  for (size_t m = 0; m < modules.size(); ++m) {
    const EffectModuleState& state = modules[m].state;
    const TEffectModule& descriptor = modules[m].descriptor;
    if (!state.enabled) continue;
    for (int32_t g = 0; g < descriptor.groupCount && static_cast<size_t>(g) < state.groups.size(); ++g) {
      const EffectGroupState& group = state.groups[static_cast<size_t>(g)];
      const int32_t n = EffectCount(descriptor, g);
      const char* name = descriptor.groupNames ? descriptor.groupNames[g] : "";
      HTREEITEM node = InsertNode(tree, TVI_ROOT, GroupNodeText(name, n),
                                  EffectNodeData(static_cast<int32_t>(m), g), GroupFillState(group, n));
      if (n <= 1) continue;
      for (int32_t e = 0; e < n; ++e) {
        const bool on = group.enabled && static_cast<size_t>(e) < group.effects.size() &&
                        group.effects[static_cast<size_t>(e)];
        const char* effectName = descriptor.effectNames && descriptor.effectNames[g] ? descriptor.effectNames[g][e] : "";
        InsertNode(tree, node, effectName ? effectName : "", EffectNodeData(static_cast<int32_t>(m), g, e),
                   on ? kNodeChecked : kNodeUnchecked);
      }
    }
  }
}

void SettingsDialog::EffectSelectionChanged() {
  if (tabs_->CurrentPage() != kPageEffects) return;
  HWND tree = c_.effectsTree;
  HTREEITEM item = TreeView_GetSelection(tree);
  if (!item) return;
  const std::optional<EffectNode> node = DecodeEffectNode(TreeItemData(tree, item));
  std::vector<EffectModule>& modules = EffectModules();
  if (!node || static_cast<size_t>(node->module) >= modules.size()) return;
  EffectModule& module = modules[static_cast<size_t>(node->module)];
  const int state = StateOf(tree, item);
  const bool checked = state == kNodeChecked || state == kNodePartly;
  const int32_t n = EffectCount(module.descriptor, node->group);
  const EffectCheck check = ApplyEffectCheck(module.state, node->module, *node, checked, n);

  if (node->IsGroup()) {
    if (check.childrenSet)
      for (HTREEITEM child = TreeView_GetChild(tree, item); child; child = TreeView_GetNextSibling(tree, child))
        SetState(tree, child, checked ? kNodeChecked : kNodeUnchecked);
  } else if (HTREEITEM parent = TreeView_GetParent(tree, item)) {
    SetState(tree, parent, check.groupState);
  }

  // The running preview's show thread reads the effect table: a new table waits until
  // that run has stopped, and the preview then starts again with it.
  pendingEffects_ = check.table;
  if (activeRun_) {
    restartPreview_ = true;
    activeRun_->RequestEnd();
    return;
  }
  RunEffectPreview();
}

void SettingsDialog::SetAllEffects(bool enabled) {
  HWND tree = c_.effectsTree;
  const int state = enabled ? kNodeChecked : kNodeUnchecked;
  for (HTREEITEM group = TreeView_GetRoot(tree); group; group = TreeView_GetNextSibling(tree, group)) {
    SetState(tree, group, state);
    for (HTREEITEM child = TreeView_GetChild(tree, group); child; child = TreeView_GetNextSibling(tree, child))
      SetState(tree, child, state);
  }
  SetAllEffectStates(EffectModuleStates(), enabled);
}

bool SettingsDialog::WaitForTreeBuild() {
  if (!treeBuild_->Running()) return true;
  waitingForTree_ = true;
  treeBuild_->WaitIdle();
  // The worker's end message is handled now, so that its arrival on the page comes before
  // the preview and not in the middle of it.
  PumpMessages();
  waitingForTree_ = false;
  return !activeRun_;
}

void SettingsDialog::AfterPreview() {
  if (!reshowProperties_) return;
  reshowProperties_ = false;
  if (tabs_->CurrentPage() == kPagePhotos) ShowProperties(TreeView_GetSelection(c_.pictureTree));
}

void SettingsDialog::RunEffectPreview() {
  if (activeRun_ || saverPreviewRunning_ || waitingForTree_) return;
  // The show takes filtered names out of the picture lists the tree's worker reads.
  if (!WaitForTreeBuild() || !IsWindowVisible(c_.effectPreview)) return;
  do {
    restartPreview_ = false;
    EffectTableState& table = TheEffectTable();
    table.entries = pendingEffects_;
    table.allInPlace = AllKeepThePicture(table.entries);
    if (!Framework::Get().ThemesActive()) InvalidateRect(c_.effectsTree, nullptr, TRUE);
    ReadControls();
    ScanResultSet emptyScan;
    Settings& settings = TheSettings();
    const int32_t delay = settings.Delay;
    settings.Delay = EffectPreviewStay(settings);
    {
      RunOptions options;
      options.dialogPreview = true;
      options.effectPreview = true;
      options.settingsDialog = window_;
      FilteredPictureHook filtered(window_);
      SaverRun run(c_.effectPreview, options);
      activeRun_ = &run;
      run.Run();
      activeRun_ = nullptr;
    }
    settings.Delay = delay;
    InvalidateRect(c_.effectPreview, nullptr, TRUE);
  } while (restartPreview_ && !deferred_.message && IsWindowVisible(c_.effectPreview));
  restartPreview_ = false;
  AfterPreview();
  DeliverDeferred();
}

bool SettingsDialog::DeferIfPreviewing(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!activeRun_) return false;
  activeRun_->RequestEnd();
  deferred_ = DeferredMessage{window, message, wParam, lParam, {}};
  if (message == WM_NOTIFY) {
    // The notification's own record does not outlive the message.
    deferred_.header = *reinterpret_cast<const NMHDR*>(lParam);
    deferred_.lParam = 0;
  }
  return true;
}

void SettingsDialog::DeliverDeferred() {
  DeferredMessage d = deferred_;
  deferred_ = {};
  if (!d.message) return;
  const LPARAM lParam = d.message == WM_NOTIFY ? reinterpret_cast<LPARAM>(&d.header) : d.lParam;
  SendMessageA(d.window, d.message, d.wParam, lParam);
}

void SettingsDialog::SetPreviewDuration(int32_t milliseconds) {
  if (!activeRun_) return;
  activeRun_->PendingEffectDuration = milliseconds;
  activeRun_->Paused = true;  // the running preview's sign that its duration changed
}

void SettingsDialog::RunSaverPreview() {
  if (activeRun_ || saverPreviewRunning_ || waitingForTree_) return;
  saverPreviewRunning_ = true;
  // The show takes filtered names out of the picture lists the tree's worker reads.
  WaitForTreeBuild();
  ReadControls();
  {
    ScanResultSet emptyScan;
    FilteredPictureHook filtered(window_);
    Framework::Get().SetBusyCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_APPSTARTING)));
    RunOptions options;
    options.dialogPreview = true;
    // The run's full-screen windows show device pixels on whatever monitor, like the
    // saver's own; the dialog itself stays system aware.
    PerMonitorDpiScope perMonitor;
    AppendTraceLine(TestTracePath(), "saver preview awareness=" + std::to_string(ThreadDpiAwareness()));
    SaverRun run(nullptr, options);
    run.Run();
    Framework::Get().SetBusyCursor(nullptr);
  }
  saverPreviewRunning_ = false;
  RepaintWithChildren(window_);
  AfterPreview();
}

LRESULT CALLBACK EffectPreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    // Black while nothing runs in it; a running preview's window covers it.
    RECT area;
    GetClientRect(window, &area);
    FillRect(reinterpret_cast<HDC>(wParam), &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace kelv::ui
