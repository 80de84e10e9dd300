// The file-name caption of a picture on a composed screen.
#pragma once

#include <cstdint>

namespace kelv {

class TBitmap;

// The caption of global picture `index` at "TextPos" in the caption font and colour, when
// "TextFileName" asks for captions and the run is full screen.
void DrawCaption(TBitmap& target, int32_t index, bool fullScreen);

}  // namespace kelv
