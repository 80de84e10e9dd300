#include "show/display_order.hpp"

#include <algorithm>
#include <cerrno>
#include <new>
#include <numeric>
#include <string>
#include <utility>

#include "catalogue/pic_list.hpp"
#include "common/exception.hpp"
#include "common/random.hpp"
#include "imaging/bitmap.hpp"
#include "imaging/caption.hpp"
#include "settings/settings.hpp"
#include "show/compose.hpp"
#include "show/compose_history.hpp"
#include "show/motion_scene.hpp"
#include "show/picture_deal.hpp"
#include "show/picture_caption.hpp"
#include "show/run_flags.hpp"

namespace kelv {

namespace {

// The random step: a lazily shuffled permutation, drawn without repetition until every
// picture has been shown once in the pass.
int32_t RandomStep(DisplayOrderState& st, int32_t n) {
  if (st.length == 0 || n > st.length) {
    st.length = n;
    try {
      st.PicShowed.assign(static_cast<size_t>(std::max(n, 0)), 0);
    } catch (const std::bad_alloc&) {
      const int error = errno;
      st.length = 0;
      throw Exception("error alloc memory for PicShowed, Size=" + std::to_string(n) + ", " +
                      std::to_string(error));
    }
    std::iota(st.PicShowed.begin(), st.PicShowed.end(), 0);
    st.position = -1;
  }
  // A new pass goes on shuffling the previous pass's order.
  if (st.position >= n - 1) st.position = -1;
  st.position += 1;
  const int32_t p = st.position;
  // For the first 21 pictures of a pass the draw keeps away from the end of the array,
  // which at the start of the first pass holds the last pictures in catalogue order.
  int32_t w = n;
  if (p <= 20) w = n / 3 > 20 ? n - 20 + p : std::min(n, n - n / 3 + p);
  const int32_t j = p + static_cast<int32_t>(Round((w - 0.002 - p) * RandomReal() - 0.499));
  // With an empty catalogue the draw has no place to go (j may be -1): nothing to swap.
  if (st.length < 1 || n < 1) return 0;
  std::swap(st.PicShowed[static_cast<size_t>(p)], st.PicShowed[static_cast<size_t>(j)]);
  return st.PicShowed[static_cast<size_t>(p)];
}

// Closes the gap at `gap` in the first n + 1 elements of the permutation after picture i
// left the catalogue (n is the new count): the indices above i move down by one.
void ClosePermutationGap(DisplayOrderState& st, int32_t gap, int32_t i, int32_t n) {
  for (int32_t k = 0; k < n; ++k) {
    int32_t v = st.PicShowed[static_cast<size_t>(k < gap ? k : k + 1)];
    if (v > i) --v;
    else if (v == i) throw Exception("DFR dubl");
    st.PicShowed[static_cast<size_t>(k)] = v;
  }
}

void RepairRandomOrder(DisplayOrderState& st, int32_t i, int32_t n, bool replayed) {
  if (st.length == 0) return;  // no permutation yet: the first random step builds it
  // The permutation must still hold the n + 1 pictures there were before the removal.
  if (st.length < n + 1 || static_cast<int32_t>(st.PicShowed.size()) < st.length) {
    st.length = 0;
    return;
  }
  const int32_t pos = st.position;
  if (pos >= 0 && pos < st.length && st.PicShowed[static_cast<size_t>(pos)] == i) {
    ClosePermutationGap(st, pos, i, n);
    st.position = pos - 1;
    return;
  }
  if (!replayed) throw Exception("ind<>PicShowed");
  // A replayed screen's picture is not the one at the current position: its own place
  // in the permutation is closed, and the position moves back when that place lay at or
  // before it.
  const auto begin = st.PicShowed.begin();
  const auto end = begin + (n + 1);
  const auto found = std::find(begin, end, i);
  if (found == end) {
    st.length = 0;  // not a permutation any more: rebuilt at the next random step
    return;
  }
  const int32_t gap = static_cast<int32_t>(found - begin);
  ClosePermutationGap(st, gap, i, n);
  if (gap <= pos) st.position = pos - 1;
}

void FilterOutPicture(int32_t i, const std::string& name, bool replayed, PictureDeal* deal) {
  TPicList& catalogue = TheCatalogue();
  DisplayOrderServices& services = TheDisplayOrderServices();
  if (services.filteredInDialog) {
    const PictureLocation where = catalogue.LocatePicture(i, name);
    if (where.found()) services.filteredInDialog(where.entry, where.index);
  }
  catalogue.Modified = true;
  // Nothing left the catalogue (another picture is at i now): the order stays as it is.
  if (!catalogue.FilterPicture(i, name)) return;
  if (deal) deal->PictureLeft(i);

  DisplayOrderState& st = TheDisplayOrder();
  const int32_t n = catalogue.PictureCount();
  switch (TheSettings().Order) {
    case OrderSequential:
      // The next step shows the picture that moved into position i.
      st.current = st.current <= 0 ? n - 1 : st.current - 1;
      break;
    case OrderReverse:
      if (st.current >= n - 1) st.current = 0;
      break;
    case OrderRandom:
      RepairRandomOrder(st, i, n, replayed);
      break;
    default:
      break;
  }
}

// The first choice of a run starts after a random picture or after the resume point
// (the resume point wins when both are set); the random order has a start of its own.
void ChooseStartPoint(DisplayOrderState& st, int32_t count) {
  const Settings& s = TheSettings();
  if (s.Order == OrderRandom) return;
  if (s.StartFromRandom) st.current = static_cast<int32_t>(Round((count - 0.002) * RandomReal() - 0.499));
  if (s.StartFromPrevious) st.current = LoadResumePoint();
}

// The next global index in the configured order.
int32_t StepInOrder(DisplayOrderState& st, int32_t count) {
  switch (TheSettings().Order) {
    case OrderSequential:
      return st.current + 1 == count ? 0 : st.current + 1;
    case OrderReverse:
      return st.current < 1 ? count - 1 : st.current - 1;
    case OrderRandom:
      return RandomStep(st, count);
    default:
      return 0;
  }
}

// The run statistics of one attempt: tried, and shown, filtered or why it failed.
void CountAttempt(DisplayStatistics& counts, const LoadResult& r) {
  ++counts.tried;
  if (r.width > 0 && r.height > 0) ++counts.shown;
  else if (r.width < 0 && r.height < 0) ++counts.filtered;
  else if (r.width != 0 && r.height != 0) return;  // sizes of mixed signs: no verdict
  else if (r.fileMissing) ++counts.missing;
  else if (r.fileUnopenable) ++counts.unopenable;
  else ++counts.failed;
}

}  // namespace

DisplayOrderState& TheDisplayOrder() {
  static DisplayOrderState state;
  return state;
}

void StartDisplayOrderRun() {
  DisplayOrderState& st = TheDisplayOrder();
  st.current = -1;
  st.length = 0;
  st.position = -1;
  st.statistics = DisplayStatistics{};
}

void EndDisplayOrderRun() {
  DisplayOrderState& st = TheDisplayOrder();
  st.length = 0;
  st.PicShowed.clear();
  st.PicShowed.shrink_to_fit();
}

void FilterOut(int32_t index, const std::string& name) { FilterOutPicture(index, name, false, nullptr); }

void NextPicture(TBitmap& target, const RunFlags& run) { NextPicture(target, run, TheHistory(), nullptr); }

void NextPicture(TBitmap& target, const RunFlags& run, ScreenHistory& history, PictureDeal* deal,
                 MotionScene* keep, const std::function<void()>& meanwhile) {
  DisplayOrderState& st = TheDisplayOrder();
  TPicList& catalogue = TheCatalogue();
  DisplayOrderServices& services = TheDisplayOrderServices();
  if (st.current == -1) ChooseStartPoint(st, catalogue.PictureCount());

  int32_t failures = 0;
  int32_t passedOver = 0;  // pictures another monitor has, stepped past
  // A replayed screen takes its picture from the history; when that picture cannot be
  // shown any more, the further tries go on in the display order.
  bool fromHistory = history.Replaying();
  for (bool retry = false;; retry = true) {
    // Skipping through many missing or unreadable files (a vanished drive) must not hold
    // up the end of the run.
    if (retry && run.EndRequested) {
      target.Clear();
      return;
    }
    const int32_t count = catalogue.PictureCount();
    const int32_t recorded = fromHistory ? history.ReplayedPicture() : -1;
    // An index recorded before pictures left the catalogue may lie beyond its end now.
    const bool replayed = recorded >= 0 && recorded < count;
    fromHistory = false;
    const int32_t i = replayed ? recorded : StepInOrder(st, count);
    if (!run.Stopping()) history.Record(i);
    if (count >= 1 && (i < 0 || i >= count)) {
      throw Exception("incorrect picNumber, " + std::to_string(i) + ", " + std::to_string(count));
    }
    st.current = i;

    if (count == 0) {
      services.message(target, kNoPicturesMessage);
      return;
    }
    // Two passes' worth of steps at most: they hold one whole pass of the random order,
    // so every picture was offered.
    if (!replayed && deal && passedOver < 2 * count && deal->Avoid(i, count)) {
      ++passedOver;
      continue;
    }
    const std::string name = catalogue.PictureName(i);
    LoadResult r = services.load(target, name, LoadRequest{keep ? kMotionMaxZoom : 0.0, meanwhile});
    CountAttempt(st.statistics, r);
    if (r.width > 0 && r.height > 0) {
      if (keep)
        keep->KeepPicture(PixelView{static_cast<uint8_t*>(target.Bits), target.Width, target.Height}, r.placed,
                          std::move(r.larger));
      services.caption(target, i, run.FullScreen, r.dateTaken);
      if (deal) deal->Dealt(i);
      return;
    }
    if (r.width < 0 && r.height < 0) {
      FilterOutPicture(i, name, replayed, deal);
      // Filtered pictures have left the catalogue, so only the unreadable ones still
      // stand among what is left: the attempt ends when every remaining picture failed
      // (or none remains), never while a picture is still untried.
      if (failures >= catalogue.PictureCount()) {
        services.message(target, kAllFilteredMessage);
        return;
      }
      continue;
    }
    // Sizes of mixed signs come from no decoder: the target is taken as it is.
    if (r.width != 0 && r.height != 0) return;
    if (count < failures) {
      services.message(target, kCantReadMessage);
      return;
    }
    ++failures;
  }
}

DisplayOrderServices DefaultDisplayOrderServices() {
  DisplayOrderServices services;
  services.load = [](TBitmap& target, const std::string& fileName, const LoadRequest& request) {
    return LoadPicture(target, fileName, request);
  };
  services.caption = [](TBitmap& target, int32_t index, bool fullScreen, const std::string& dateTaken) {
    DrawCaption(target, index, fullScreen, dateTaken);
  };
  services.message = [](TBitmap& target, const std::string& text) { DrawMessage(target, text); };
  return services;
}

DisplayOrderServices& TheDisplayOrderServices() {
  static DisplayOrderServices services = DefaultDisplayOrderServices();
  return services;
}

}  // namespace kelv
