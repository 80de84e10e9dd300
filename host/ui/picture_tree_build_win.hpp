// Filling the picture tree from the catalogue: every folder entry as a node with up to
// 10000 picture nodes, then the single pictures as root nodes. The build runs on a worker
// thread so that the dialog shows at once; it only reads the catalogue, and the dialog's
// commands that change the catalogue wait for it first.
//
// Each node the worker inserts is a message to the dialog's thread, which owns the tree,
// and under Wine such a message costs tens of microseconds: for 100,000 pictures the
// build took seconds. So the build makes the folder nodes only, each marked as having
// children when its entry has pictures, and a folder's picture nodes are made on the
// dialog's thread when its node is first opened (`FillFolder`).
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <string>

#include "catalogue/path_list.hpp"
#include "common/owners_win.hpp"
#include "ui/folder_slots.hpp"

namespace kelv::ui {

// Posted to the dialog when a threaded build has finished.
inline constexpr UINT kTreeBuiltMessage = WM_APP + 1;

class PictureTreeBuild {
public:
  explicit PictureTreeBuild(FolderSlots& slots) : slots_(slots) {}
  ~PictureTreeBuild();
  PictureTreeBuild(const PictureTreeBuild&) = delete;
  PictureTreeBuild& operator=(const PictureTreeBuild&) = delete;

  // Stops a running build, then builds on a worker (threaded) or right here.
  void Start(HWND tree, HWND dialog, bool threaded);
  void RequestStop() { stop_ = true; }
  bool Running() const { return running_; }
  // Sleeps 10 ms and pumps the waiting messages in rounds until the worker has ended, at
  // most `maxRounds` rounds (0: until it has ended); true when it has.
  bool WaitIdle(int maxRounds = 0);

  // The picture nodes of one entry under its folder node, stopping early on `stop`.
  static void InsertPictures(HWND tree, HTREEITEM folder, uint32_t slot, const TPathList& pictures,
                             const std::atomic<bool>* stop);
  // A node at the end of the parent's children (TVI_ROOT for the root).
  static HTREEITEM InsertNode(HWND tree, HTREEITEM parent, const std::string& text, uint32_t data);
  // A folder's node at the end of the root, shown with an open button when it has pictures
  // (its picture nodes follow when it is first opened).
  static HTREEITEM InsertFolderNode(HWND tree, const std::string& path, uint32_t slot, bool hasPictures);
  // Makes a folder node's picture nodes once (dialog thread): true when it made them now.
  static bool FillFolder(HWND tree, HTREEITEM folder, FolderSlots& slots);
  // Whether a folder node shows the open button.
  static void SetHasChildren(HWND tree, HTREEITEM folder, bool hasChildren);

private:
  static DWORD WINAPI WorkerMain(void* self);
  void Build();

  FolderSlots& slots_;
  HWND tree_ = nullptr;
  HWND dialog_ = nullptr;
  bool threaded_ = false;
  std::atomic<bool> running_{false};
  std::atomic<bool> stop_{false};
  win::UniqueKernelHandle thread_;
};

// The data (lParam) of a tree item: the node's slot and number, or its effect.
uint32_t TreeItemData(HWND tree, HTREEITEM item);

// The file name of a path (after its last backslash).
std::string FileNameOf(const std::string& path);

}  // namespace kelv::ui
