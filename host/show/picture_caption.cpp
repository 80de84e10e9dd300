#include "show/picture_caption.hpp"

#include <string>

#include "catalogue/pic_list.hpp"
#include "imaging/caption.hpp"
#include "settings/settings.hpp"

namespace kelv {

void DrawCaption(TBitmap& target, int32_t index, bool fullScreen) {
  const Settings& s = TheSettings();
  if (!fullScreen || !s.ShowFileName) return;
  const std::string name = TheCatalogue().PictureName(index);
  if (name.empty()) return;
  DrawText(target, CaptionText(name, s.IncludePath, s.IncludeExtension, s.IncludeFolder),
           s.TextPos, s.Font, s.FontColor);
}

}  // namespace kelv
