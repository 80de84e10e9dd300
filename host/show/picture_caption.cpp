#include "show/picture_caption.hpp"

#include <string>

#include "catalogue/pic_list.hpp"
#include "common/test_trace.hpp"
#include "imaging/caption.hpp"
#include "settings/settings.hpp"
#include "show/date_caption.hpp"

namespace kelv {

std::string CaptionFor(const std::string& path, const std::string& dateTaken) {
  const Settings& s = TheSettings();
  const std::string name = CaptionText(path, s.IncludePath, s.IncludeExtension, s.IncludeFolder);
  return s.TextDate ? CaptionWithDate(name, dateTaken) : name;
}

void DrawCaption(TBitmap& target, int32_t index, bool fullScreen, const std::string& dateTaken) {
  const Settings& s = TheSettings();
  if (!fullScreen || !s.ShowFileName) return;
  const std::string name = TheCatalogue().PictureName(index);
  if (name.empty()) return;
  const std::string caption = CaptionFor(name, dateTaken);
  DrawText(target, caption, s.TextPos, s.Font, s.FontColor);
  AppendTraceLine(TestTracePath(), "caption=" + caption);
}

}  // namespace kelv
