#include "ui/picture_tree_build_win.hpp"

#include <commctrl.h>

#include <algorithm>

#include "catalogue/pic_list.hpp"
#include "ui/small_dialogs_win.hpp"
#include "ui/ui_framework_win.hpp"

namespace kelv::ui {

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

uint32_t TreeItemData(HWND tree, HTREEITEM item) {
  TVITEMA tv{};
  tv.mask = TVIF_PARAM | TVIF_HANDLE;
  tv.hItem = item;
  TreeView_GetItem(tree, &tv);
  return static_cast<uint32_t>(tv.lParam);
}

PictureTreeBuild::~PictureTreeBuild() {
  stop_ = true;
  WaitIdle();
}

HTREEITEM PictureTreeBuild::InsertNode(HWND tree, HTREEITEM parent, const std::string& text, uint32_t data) {
  TVINSERTSTRUCTA insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(text.c_str());
  insert.item.lParam = static_cast<LPARAM>(data);
  return TreeView_InsertItem(tree, &insert);
}

HTREEITEM PictureTreeBuild::InsertFolderNode(HWND tree, const std::string& path, uint32_t slot,
                                             bool hasPictures) {
  TVINSERTSTRUCTA insert{};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
  insert.item.pszText = const_cast<char*>(path.c_str());
  insert.item.lParam = static_cast<LPARAM>(PictureNodeData(slot, 0));
  insert.item.cChildren = hasPictures ? 1 : 0;
  return TreeView_InsertItem(tree, &insert);
}

void PictureTreeBuild::SetHasChildren(HWND tree, HTREEITEM folder, bool hasChildren) {
  TVITEMA tv{};
  tv.mask = TVIF_CHILDREN | TVIF_HANDLE;
  tv.hItem = folder;
  tv.cChildren = hasChildren ? 1 : 0;
  TreeView_SetItem(tree, &tv);
}

bool PictureTreeBuild::FillFolder(HWND tree, HTREEITEM folder, FolderSlots& slots) {
  const uint32_t data = TreeItemData(tree, folder);
  const uint32_t slot = SlotOf(data);
  if (NumberOf(data) != 0 || slot == 0 || slots.Filled(slot)) return false;
  const int32_t entry = slots.Entry(slot);
  const TPicList& catalogue = TheCatalogue();
  if (entry == 0 || entry >= catalogue.Count()) return false;
  slots.MarkFilled(slot);
  // One repaint for all of them.
  SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
  InsertPictures(tree, folder, slot, *catalogue.Item(entry)->Pictures, nullptr);
  SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
  SetHasChildren(tree, folder, TreeView_GetChild(tree, folder) != nullptr);
  InvalidateRect(tree, nullptr, TRUE);
  return true;
}

void PictureTreeBuild::InsertPictures(HWND tree, HTREEITEM folder, uint32_t slot, const TPathList& pictures,
                                      const std::atomic<bool>* stop) {
  const size_t count = std::min(pictures.size(), kMaxPictureNodes);
  for (size_t n = 0; n < count; ++n) {
    if (stop && *stop) return;
    InsertNode(tree, folder, FileNameOf(pictures[n]), PictureNodeData(slot, static_cast<uint32_t>(n + 1)));
  }
}

bool PictureTreeBuild::WaitIdle(int maxRounds) {
  for (int round = 0; running_ && (maxRounds == 0 || round < maxRounds); ++round) {
    Sleep(10);
    PumpMessages();
  }
  if (!running_ && thread_) {
    WaitForSingleObject(thread_.get(), INFINITE);  // its last steps after the flag
    thread_.reset();
  }
  return !running_;
}

void PictureTreeBuild::Start(HWND tree, HWND dialog, bool threaded) {
  if (running_) {
    stop_ = true;
    WaitIdle(100);
    Sleep(100);
  }
  WaitIdle();
  tree_ = tree;
  dialog_ = dialog;
  threaded_ = threaded;
  // The flags are set here, before the worker exists, so that nobody sees a build that
  // has been asked for as finished.
  stop_ = false;
  running_ = true;
  Framework::Get().SetTreeBusyCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  if (!threaded) {
    Build();
    return;
  }
  DWORD id = 0;
  thread_.reset(CreateThread(nullptr, 0, WorkerMain, this, 0, &id));
  if (!thread_) Build();  // no thread to be had: build here
}

DWORD WINAPI PictureTreeBuild::WorkerMain(void* self) {
  static_cast<PictureTreeBuild*>(self)->Build();
  return 0;
}

void PictureTreeBuild::Build() {
  // The tree paints once, when it is complete.
  SendMessageA(tree_, WM_SETREDRAW, FALSE, 0);
  TreeView_DeleteAllItems(tree_);
  slots_.Reset();
  // Read only: the catalogue's own bookkeeping is not touched from this thread.
  const TPicList& catalogue = TheCatalogue();
  for (int32_t i = 1; i < catalogue.Count() && !stop_; ++i) {
    const TFolderItem* entry = catalogue.Item(i);
    const uint32_t slot = slots_.Add(i);
    if (slot == 0) break;
    InsertFolderNode(tree_, entry->Path, slot, !entry->Pictures->empty());
  }
  if (catalogue.Count() > 0) {
    const TPathList& singles = *catalogue.Item(0)->Pictures;
    for (size_t n = 0; n < singles.size() && !stop_; ++n)
      InsertNode(tree_, TVI_ROOT, FileNameOf(singles[n]), PictureNodeData(0, static_cast<uint32_t>(n + 1)));
  }
  SendMessageA(tree_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(tree_, nullptr, TRUE);
  if (threaded_) PostMessageA(dialog_, kTreeBuiltMessage, 0, 0);
  Framework::Get().SetTreeBusyCursor(nullptr);
  stop_ = false;
  running_ = false;
}

}  // namespace kelv::ui
